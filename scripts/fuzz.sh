#!/usr/bin/env bash
# Builds the libFuzzer target (preset "fuzz", clang 14) and runs it for a
# bounded time, starting from the checked-in seed corpus, which stays as it
# is. Usage: scripts/fuzz.sh [seconds, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work="$(mktemp -d)"
log="$(mktemp)"
trap 'rm -rf "$work" "$log"' EXIT

echo "Fuzzing whole runs for ${seconds} s..."
if ./build-fuzz/bitmosaic_fuzzer -max_total_time="$seconds" -timeout=10 \
    -artifact_prefix="$PWD/build-fuzz/" "$work" fuzz/corpus >"$log" 2>&1; then
  # The run's own messages fill the log; its summary is enough.
  grep -E '^(#[0-9]+[[:space:]]+DONE|Done [0-9]+ runs)' "$log"
else
  status=$?
  tail -n 80 "$log"
  for input in build-fuzz/crash-* build-fuzz/timeout-* build-fuzz/leak-*; do
    [ -e "$input" ] || continue
    echo "--- $input"
    od -c "$input" | head -n 40
  done
  echo "Fuzzing found a problem (status $status)."
  exit "$status"
fi
