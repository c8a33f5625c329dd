#!/usr/bin/env bash
# Runs every command on the test card (and the disc) with the Linux build
# and with bitmosaic.exe under wine, and checks that the files they write
# and the reports they print are byte for byte the same. (help is left out:
# its title names the program as it was started, which differs.)
# convert is left out of the byte comparison: floating point may round
# differently in the two builds. Instead the perceived error of each build's
# conversion of the same image must agree within 1%.
# Usage: scripts/compare-windows.sh [linux binary] [windows binary] [perceived_error]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
linux="$(realpath "${1:-build/bitmosaic}")"
windows="$(realpath "${2:-build-windows/bitmosaic.exe}")"
measure="$(realpath "${3:-build/perceived_error}")"
export WINEDEBUG=-all COLORTERM=truecolor LC_ALL=C
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/linux" "$work/windows"

commands=(
  "del 10 5 28 10 card.kla out.kla"
  "crop 10 5 28 18 card.kla out.kla"
  "delv 50 150 2 card.kla out.kla"
  "filter card.kla out.kla"
  "replace 0 0 19 12 card.kla disc.kla out.kla"
  "replacev 10 card.kla disc.kla out.kla"
  "insert 20 5 39 20 card.kla disc.kla out.kla"
  "inserth 12 card.kla disc.kla out.kla"
  "colcopy card.kla disc.kla out.kla"
  "merge card.kla disc.kla out.kla"
  "merge+ card.kla disc.kla out.kla"
  "mask card.kla disc.kla out.kla"
  "imask card.kla disc.kla out.kla"
  "move 5 -2 card.kla out.kla"
  "movev -3 card.kla out.kla"
  "moveh 7 card.kla out.kla"
  "png card.kla out.png"
  "png --palette=colodore card.kla out.png"
  "import card.png out.kla"
  "import --palette=pepto card.png out.kla"
  "export card.kla out.gg"
  "export card.kla out.prg"
  "export --format=drazpaint-packed --border=3 card.kla out.drz"
  "export --format=artstudio card.kla"
  "info 5 5 card.kla"
  "show card.kla"
  "examples"
  "more"
)
failed=0
for command in "${commands[@]}"; do
  read -r -a words <<<"$command"
  for side in linux windows; do
    dir="$work/$side"
    rm -f "$dir"/*
    cp "$root/examples/testcard.kla" "$dir/card.kla"
    cp "$root/examples/disc.kla" "$dir/disc.kla"
    "$linux" png "$dir/card.kla" "$dir/card.png" >/dev/null
    if [ "$side" = linux ]; then
      # show draws UTF-8 under the C locale on Linux, while Windows follows
      # the console's code page (437 here): a locale that names another
      # character set gives Linux the same rule.
      locale=C
      [ "${words[0]}" = show ] && locale=en_US.ISO-8859-1
      (cd "$dir" && LC_ALL="$locale" "$linux" "${words[@]}" > stdout.txt)
    else
      (cd "$dir" && wine "$windows" "${words[@]}" > stdout.txt)
    fi
  done
  for file in "$work/linux"/*; do
    name="$(basename "$file")"
    if ! cmp -s "$file" "$work/windows/$name"; then
      echo "differs: $command: $name"
      failed=1
    fi
  done
done
if [ "$failed" -eq 0 ]; then
  echo "Linux and Windows builds wrote the same bytes for all ${#commands[@]} commands."
fi

# The test card drawn in colodore's colours and converted with pepto's: an
# image that needs dithering, so both searches have work to do.
dir="$work/convert"
mkdir "$dir"
"$linux" png --palette=colodore "$root/examples/testcard.kla" "$dir/image.png" >/dev/null
for dither in search floyd; do
  "$linux" convert "--dither=$dither" "$dir/image.png" "$dir/linux.kla" >/dev/null
  (cd "$dir" && wine "$windows" convert "--dither=$dither" image.png windows.kla >/dev/null)
  linux_error="$("$measure" "$dir/linux.kla" "$dir/image.png")"
  windows_error="$("$measure" "$dir/windows.kla" "$dir/image.png")"
  if awk -v a="$linux_error" -v b="$windows_error" \
       'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= 0.01 * a) }'; then
    echo "convert --dither=$dither: perceived error $linux_error on Linux, $windows_error on Windows."
  else
    echo "differs: convert --dither=$dither: perceived error $linux_error on Linux," \
      "$windows_error on Windows (more than 1% apart)"
    failed=1
  fi
done
exit "$failed"
