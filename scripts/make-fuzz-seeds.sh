#!/usr/bin/env bash
# Remakes the fuzz seeds that come from the tool's own files, so that they
# can be made again when a format or a generator changes:
#   fuzz/corpus/62-... and on: a run of fuzz/run_fuzzer.cc importing a file
#     of each format of the table that is read ("import odd.kla out.kla
#     --format=NAME"), the file exported from the test card by bitmosaic
#     itself, or, for the formats it does not write, framed by hand around
#     the disc picture's bytes; then a 52224-byte program at $6000 (longer
#     than any paint format's file) imported as Zoomatic and by its content,
#     and small crafted images converted.
#   fuzz/corpus-images/: files as they are for fuzz/decode_images.cc: small
#     PNG, JPEG and GIF images of odd sizes, interlaced and progressive ones,
#     an EXIF orientation, small crafted images, and a few paint files.
# Every file a format seed holds must import as that format; the script
# stops when one does not. The other seeds of fuzz/corpus are left alone.
# Usage: scripts/make-fuzz-seeds.sh [build folder with bitmosaic and
# make_crafted_input, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
b="$build/bitmosaic"
crafted="$build/make_crafted_input"
for tool in "$b" "$crafted"; do
  if [ ! -x "$tool" ]; then
    echo "make-fuzz-seeds: '$tool' is missing; build first (cmake --build $build)" >&2
    exit 2
  fi
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# seed <name> <file> <argument>...: an input of fuzz/run_fuzzer.cc, the
# arguments one a line, an empty line, then the file's bytes (odd.kla).
seed() {
  local name="$1" file="$2"
  shift 2
  { printf '%s\n' "$@"; printf '\n'; cat "$file"; } >"fuzz/corpus/$name"
}

# n bytes of one value: bytes <count> <value 0-255>
bytes() { head -c "$1" /dev/zero | tr '\0' "\\$(printf '%03o' "$2")"; }
byte() { bytes 1 "$1"; }

# Byte values that the disc picture's data never holds: escape bytes that
# stand for no byte of it.
read -r -a unused < <(od -An -v -tu1 examples/disc.kla | tr -s ' ' '\n' | sed '/^$/d' |
  sort -un | awk '{ seen[$1] = 1 } END { for (i = 255; i >= 0; i--) if (!seen[i]) printf "%d ", i; print "" }')
[ "${#unused[@]}" -ge 2 ] || { echo "make-fuzz-seeds: disc.kla holds every byte" >&2; exit 1; }
disc_data="$work/disc.data"
tail -c +3 examples/disc.kla >"$disc_data"  # the 10001 bytes after the load address

# A picture of one screen colour, one colour-RAM colour and a black
# background, which the formats holding one colour for all cells take.
flat="$work/flat.kla"
{ head -c 8002 examples/testcard.kla; bytes 1000 18; bytes 1000 5; byte 0; } >"$flat"

# The files of the formats bitmosaic does not write, each its escape bytes
# chosen from the unused values so that every byte of the data stands for
# itself.
hand_made() {  # format out
  case "$1" in
    zoomatic)  # read backwards from its last byte, the escape byte
      { printf '\x00\x60'; cat "$disc_data"; byte "${unused[0]}"; } >"$2" ;;
    boogiedown)  # header, escape byte, a byte the reader passes over, the data
      { printf '\x00\x60\x02\x04\x10\x36\x30\x30'; byte "${unused[0]}"; byte 0
        cat "$disc_data"; } >"$2" ;;
    boogiedown5)  # "BDP 5.00", the escape bytes of short and long runs
      { printf '\x00\x60BDP 5.00'; byte "${unused[0]}"; byte "${unused[1]}"; cat "$disc_data"; } >"$2" ;;
    boogiedown-commands)  # one block of 10001 ($2711) literal bytes
      { printf '\x00\x60\xfe\x11\x27'; cat "$disc_data"; } >"$2" ;;
  esac
}

# The formats read, in the table's order (src/formats/picture_formats.cc),
# each "name|how its file is made": export from the test card, export from
# the flat picture, or by hand.
formats=(
  koala\|card koala-raw\|card koala-padded\|card gg\|card runpaint\|card interpaint\|card
  facepainter\|card garfield\|card cdu\|card artstudio\|card blazingpaddles\|card artist64\|card
  imagesystem\|card vidcom\|card dolphined\|card picasso\|card saracen\|card rainbow\|flat
  paintmagic\|flat drazpaint\|card drazpaint-packed\|card cenimate\|card multigraf\|card
  cheese\|card centauri\|flat microillustrator\|card amica\|card zoomatic\|hand
  boogiedown\|hand boogiedown5\|hand boogiedown-commands\|hand
)
number=62
for entry in "${formats[@]}"; do
  IFS='|' read -r format how <<<"$entry"
  file="$work/$format.bin"
  case "$how" in
    card) "$b" export examples/testcard.kla "$file" --format="$format" >/dev/null ;;
    flat) "$b" export "$flat" "$file" --format="$format" >/dev/null ;;
    hand) hand_made "$format" "$file" ;;
  esac
  if ! "$b" import "$file" "$work/imported.kla" --format="$format" >/dev/null; then
    echo "make-fuzz-seeds: the $format file does not import" >&2
    exit 1
  fi
  rm -f "$work/imported.kla"
  seed "$number-import-$format" "$file" import odd.kla out.kla --format="$format"
  number=$((number + 1))
done

# Longer than the 32 KiB a paint format's file may take.
"$crafted" program-6000 "$work/program"
seed "$number-import-zoomatic-program-6000" "$work/program" import odd.kla out.kla --format=zoomatic
number=$((number + 1))
seed "$number-import-program-6000" "$work/program" import odd.kla out.kla
number=$((number + 1))
# Small crafted images, converted.
for kind in "exif-short" "arith-jpeg 64" "progressive-arith-jpeg 16 100" "gif-comments 50" \
            "png-1bit 64 64"; do
  read -r -a words <<<"$kind"
  "$crafted" "${words[@]}" "$work/image"
  seed "$number-convert-${words[0]}" "$work/image" convert odd.kla out.kla
  number=$((number + 1))
done

images=fuzz/corpus-images
rm -rf "$images"
mkdir -p "$images"
# name | make_crafted_input arguments
image_seeds=(
  "01-png-64x40|sample-png 64 40"
  "02-png-adam7-64x40|sample-png-adam7 64 40"
  "03-png-1x1|sample-png 1 1"
  "04-png-17x3|sample-png 17 3"
  "05-png-adam7-17x3|sample-png-adam7 17 3"
  "06-png-321x201|sample-png 321 201"
  "07-png-adam7-321x201|sample-png-adam7 321 201"
  "08-jpeg-64x40|sample-jpeg 64 40"
  "09-jpeg-exif-orientation-6-64x40|sample-jpeg-exif 64 40 6"
  "10-jpeg-exif-orientation-3-17x3|sample-jpeg-exif 17 3 3"
  "11-jpeg-progressive-64x40|sample-jpeg-progressive 64 40"
  "12-jpeg-1x1|sample-jpeg 1 1"
  "13-jpeg-17x3|sample-jpeg 17 3"
  "14-jpeg-321x201|sample-jpeg 321 201"
  "15-jpeg-progressive-321x201|sample-jpeg-progressive 321 201"
  "16-gif-64x40|sample-gif 64 40"
  "17-gif-interlaced-64x40|sample-gif-interlaced 64 40"
  "18-gif-1x1|sample-gif 1 1"
  "19-gif-17x3|sample-gif 17 3"
  "20-gif-interlaced-321x201|sample-gif-interlaced 321 201"
  "21-exif-short|exif-short"
  "22-arith-jpeg-64|arith-jpeg 64"
  "23-progressive-arith-jpeg-16-100-scans|progressive-arith-jpeg 16 100"
  "24-gif-50-comments|gif-comments 50"
  "25-png-1bit-64x64|png-1bit 64 64"
  "26-png-wide-2000x2|png-wide 2000 2"
)
for entry in "${image_seeds[@]}"; do
  IFS='|' read -r name arguments <<<"$entry"
  read -r -a words <<<"$arguments"
  "$crafted" "${words[@]}" "$images/$name"
done
# Paint files, for the import that follows the decoding.
cp examples/testcard.kla "$images/27-koala-testcard"
"$b" export examples/testcard.kla "$images/28-gg" --format=gg >/dev/null
"$b" export examples/testcard.kla "$images/29-amica" --format=amica >/dev/null
"$b" export examples/testcard.kla "$images/30-drazpaint-packed" --format=drazpaint-packed >/dev/null
cp "$work/zoomatic.bin" "$images/31-zoomatic"
echo "fuzz/corpus: $((number - 62)) seeds from 62 on; $images: $(ls "$images" | wc -l) files"
