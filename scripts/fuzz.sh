#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz", clang 14) and runs each for a
# bounded time, starting from its checked-in seed corpus, which stays as it
# is: whole runs for the given seconds, then the image decoders and picture
# readers alone (fuzz/decode_images.cc) for half as long. Inputs go up to
# 128 KiB, so that files longer than the 32 KiB a paint format may take are
# tried too. Usage: scripts/fuzz.sh [seconds, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work="$(mktemp -d)"
log="$(mktemp)"
trap 'rm -rf "$work" "$log"' EXIT

# fuzz_target <what> <binary> <seconds> <artifact prefix> <seed corpus>
fuzz_target() {
  local what="$1" binary="$2" time="$3" prefix="$4" corpus="$5" status=0
  mkdir -p "$work/$what"
  echo "Fuzzing $what for ${time} s..."
  "$binary" -max_total_time="$time" -max_len=131072 -timeout=10 \
    -artifact_prefix="$prefix" "$work/$what" "$corpus" >"$log" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    # The run's own messages fill the log; its summary is enough.
    grep -E '^(#[0-9]+[[:space:]]+DONE|Done [0-9]+ runs)' "$log"
    return 0
  fi
  tail -n 80 "$log"
  for input in "$prefix"crash-* "$prefix"timeout-* "$prefix"leak-* "$prefix"oom-*; do
    [ -e "$input" ] || continue
    echo "--- $input"
    od -c "$input" | head -n 40
  done
  echo "Fuzzing $what found a problem (status $status)."
  exit "$status"
}

fuzz_target "whole runs" ./build-fuzz/bitmosaic_fuzzer "$seconds" "$PWD/build-fuzz/" fuzz/corpus
fuzz_target "image decoders" ./build-fuzz/bitmosaic_image_fuzzer "$(((seconds + 1) / 2))" \
  "$PWD/build-fuzz/images-" fuzz/corpus-images
