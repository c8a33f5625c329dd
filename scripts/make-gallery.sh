#!/usr/bin/env bash
# Regenerates the README gallery: each image is one command applied to the
# test card (and the disc, for the two-picture commands), saved with
# "bitmosaic png".
set -euo pipefail
cd "$(dirname "$0")/.."
unset bitmosaic  # never open the results

cmake --preset default >/dev/null
cmake --build --preset default >/dev/null

tool=./build/bitmosaic
out=doc/gallery
card=examples/testcard.kla
disc=examples/disc.kla
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# gallery NAME COMMAND...: runs the command into a scratch picture, then
# renders that picture as doc/gallery/NAME.png.
gallery() {
  local name=$1
  shift
  "$tool" "$@" "$work/$name.kla" >/dev/null
  "$tool" png "$work/$name.kla" "$out/$name.png" >/dev/null
}

"$tool" png "$card" "$out/testcard.png" >/dev/null
"$tool" png "$disc" "$out/disc.png" >/dev/null
gallery del      del 10 5 28 10 "$card"
gallery crop     crop 10 5 28 18 "$card"
gallery delv     delv 50 150 2 "$card"
gallery filter   filter "$card"
gallery replaceh replaceh 20 "$card" "$disc"
gallery insert   insert 20 5 39 20 "$card" "$disc"
gallery merge    merge "$card" "$disc"
gallery mask     mask "$card" "$disc"
gallery imask    imask "$card" "$disc"
gallery move     move 5 -2 "$card"
# convert: a photograph from Debian's mate-backgrounds (GPL-2+), as the
# 320x200 image that djpeg decodes at 1/8 size, and the tool's conversion of
# the photograph itself (scripts/install-deps.sh --bench installs both).
photo=/usr/share/backgrounds/mate/nature/LadyBird.jpg
if [ -f "$photo" ] && command -v djpeg >/dev/null && command -v cjpeg >/dev/null; then
  djpeg -scale 1/8 "$photo" | cjpeg -quality 88 > "$out/ladybird-photo.jpg"
  "$tool" convert "$photo" "$work/convert.kla" >/dev/null
  "$tool" png "$work/convert.kla" "$out/convert.png" >/dev/null
else
  echo "skipped convert: $photo, djpeg or cjpeg is missing" >&2
fi
echo "gallery written to $out"
