#!/usr/bin/env bash
# Measures what a run of bitmosaic costs next to copying the same file with
# cp: instructions (valgrind's callgrind), wall time per run (best of three
# loops), and peak resident memory (GNU time). Run it after the README's build.
#
# Usage: bench/run.sh [runs per timing loop, default 200]
# Environment: BITMOSAIC (binary, default build/bitmosaic), PNG_REFERENCE
# (default build/png_reference), MAKE_SCREENSHOT (default
# build/make_screenshot), MAKE_HOSTILE_PNG (default build/make_hostile_png),
# MAKE_CRAFTED_INPUT (default build/make_crafted_input), DECODE_BENCH
# (default build/decode_bench), PHOTOGRAPH (default mate-backgrounds'
# Elephants_5640x3172.jpg). Commands run in the caller's
# environment, locale included; the header names it.
#
# Targets checked: every effect and info at most 0.3 x cp's instructions and
# no more wall time or memory than cp; png at most 7.5 x the instructions of
# cp of the same picture, its file at most 1% larger than the same picture
# written with libpng's default settings and all of them together smaller,
# on the test card and on every picture under ../shared/pictures;
# import of a 384x272 RGBA screenshot stored without row filters at most
# 6.2 x the instructions of cp of the same PNG file, on the test card and on
# every picture under ../shared/pictures when that folder is there. The same
# screenshots written with libpng's adaptive row filters are measured too,
# without a target: see doc/performance.md. Hostile PNG files (build/
# make_hostile_png: text bombs, image data far beyond the last row, a short
# palette, a flood of empty chunks) each cost at most 0.2 s of processor time
# and 16 MiB of memory above their own size. Crafted inputs (build/
# make_crafted_input: an arithmetic-coded 65500x65500 JPEG of zeros, a
# progressive one of 100 refinement scans, a GIF of 200,000 comments, PNG
# images of 8000x8000 1-bit pixels and of 20000x10, a 51 KiB program at
# $6000 without an extension and as a Zoomatic file, a JPEG whose EXIF data
# claims 65535 entries in 10 bytes, 64 MiB of zeros and one byte more as a
# Koala picture) each cost at most 1.5 s of processor time and 128 MiB of
# memory, the file included. The decoding step of convert
# (decode and resample onto the picture's grid) of a 16 MB progressive JPEG
# photograph at most 1.25 x the CPU time and peak memory of libjpeg-turbo's
# `djpeg -scale 1/8` of the same file, measured taking turns; the decoding of
# each photograph under ../shared/photos is measured without a target.
# convert's optimisation, every dither mode, on the photographs under
# ../shared/photos when that folder is there (CONVERT_PHOTO, default
# build/convert_photo; PERCEIVED_ERROR, default build/perceived_error): the
# default mode's perceived error at most 0.75 x the peer's over the three
# and below it on each, its CPU time at most 40 ms a picture.
# export of each picture in the packed formats and an unpacked one, and
# import of each file it wrote (by its name, and the packed Koala form also
# without one), at most 0.3 x the instructions of cp of the same file, on
# the test card and on every picture under ../shared/pictures.
# export of each picture as a .prg program (not held to that target: it
# searches for the bit pairs that pack smallest): its size, and the C64's
# cycles from SYS to the finished picture counted in the tests' 6502
# machine (DISPLAYER_CYCLES, default build/displayer_cycles), on
# examples/*.kla, ../shared/pictures/*.kla and ../shared/photos/*.peer.kla:
# at most 1,000,000 cycles on each, at most the size given for the eight
# pictures named below, and at most 520 bytes besides the packed picture on
# any; the mean is information.
# Exits 1 when a target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
runs="${1:-200}"
binary="$(realpath "${BITMOSAIC:-build/bitmosaic}")"
reference="$(realpath "${PNG_REFERENCE:-build/png_reference}")"
screenshot="$(realpath "${MAKE_SCREENSHOT:-build/make_screenshot}")"
hostile="$(realpath "${MAKE_HOSTILE_PNG:-build/make_hostile_png}")"
crafted="$(realpath "${MAKE_CRAFTED_INPUT:-build/make_crafted_input}")"
decode="$(realpath "${DECODE_BENCH:-build/decode_bench}")"
photograph="${PHOTOGRAPH:-/usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg}"
photos="$(realpath -m "$root/../shared/photos")"
pictures="$(realpath -m "$root/../shared/pictures")"
converter="$(realpath -m "${CONVERT_PHOTO:-build/convert_photo}")"
measure="$(realpath -m "${PERCEIVED_ERROR:-build/perceived_error}")"
cycles="$(realpath -m "${DISPLAYER_CYCLES:-build/displayer_cycles}")"

for tool in valgrind /usr/bin/time djpeg "$binary" "$reference" "$screenshot" "$hostile" \
            "$crafted" "$decode" "$converter" "$measure" "$cycles"; do
  if ! command -v "$tool" >/dev/null; then
    echo "bench: '$tool' is missing (scripts/install-deps.sh --bench installs the tools; then build as the README says)" >&2
    exit 2
  fi
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$root/examples/testcard.kla" "$root/examples/disc.kla" "$work/"
cd "$work"

b="$binary"
# name | family | command
cases=(
  "cp|baseline|cp testcard.kla copy.kla"
  "del|cell clearing|$b del 5 5 20 15 testcard.kla out.kla"
  "crop|cell clearing|$b crop 5 5 20 15 testcard.kla out.kla"
  "delv|pixel lines|$b delv 0 199 2 testcard.kla out.kla"
  "filter|pixel lines|$b filter testcard.kla out.kla"
  "replace|region copies|$b replace 0 0 19 12 testcard.kla disc.kla out.kla"
  "insert|region copies|$b insert 10 5 29 19 testcard.kla disc.kla out.kla"
  "colcopy|region copies|$b colcopy testcard.kla disc.kla out.kla"
  "merge|merge and mask|$b merge testcard.kla disc.kla out.kla"
  "mask|merge and mask|$b mask testcard.kla disc.kla out.kla"
  "move|moves|$b move 5 -2 testcard.kla out.kla"
  "info|report|$b info 5 5 testcard.kla"
  "png|preview|$b png testcard.kla out.png"
)

instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}

peak_kib() {
  local best="" kib
  for _ in 1 2 3; do
    /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>&1
    kib="$(tail -n 1 "$work/peak")"
    if [ -z "$best" ] || [ "$kib" -lt "$best" ]; then best="$kib"; fi
  done
  echo "$best"
}

loop_us() {
  local start end
  start="$(date +%s%N)"
  for ((i = 0; i < runs; i++)); do "$@" >/dev/null 2>&1; done
  end="$(date +%s%N)"
  echo $(((end - start) / runs / 1000))
}

# Microseconds per run of the command and of cp, each the best of three
# loops of $runs runs, the loops taking turns so both see the same machine.
wall_us_with_cp() {
  local best="" best_cp="" us
  for _ in 1 2 3; do
    us="$(loop_us "$@")"
    if [ -z "$best" ] || [ "$us" -lt "$best" ]; then best="$us"; fi
    us="$(loop_us cp testcard.kla copy.kla)"
    if [ -z "$best_cp" ] || [ "$us" -lt "$best_cp" ]; then best_cp="$us"; fi
  done
  echo "$best $best_cp"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
at_most() { awk -v r="$1" -v limit="$2" 'BEGIN { exit !(r <= limit) }'; }

echo "bitmosaic against cp on the test card, $(date -u +%Y-%m-%d), $(uname -m), LANG=${LANG:-} LC_ALL=${LC_ALL:-}"
echo "binary: $binary ($(file -b "$binary" 2>/dev/null | cut -d, -f1-2 || echo unknown))"
echo "wall time: best of 3 loops of $runs runs, taking turns with loops of cp; its x cp compares with those"
echo "target: effects and info at most 0.3 x cp's instructions, no more wall time or memory than cp;"
echo "png at most 7.5 x cp's instructions"
echo
printf '| %-8s | %-15s | %12s | %7s | %8s | %7s | %8s | %7s | %-6s |\n' \
  command family instructions "x cp" "wall us" "x cp" "peak KiB" "x cp" target
printf '|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n' ---------- ----------------- -------------: \
  --------: ---------: --------: ---------: --------: --------

missed=0
for entry in "${cases[@]}"; do
  IFS='|' read -r name family command <<<"$entry"
  read -r -a words <<<"$command"
  ir="$(instructions "${words[@]}")"
  read -r us paired_cp_us <<<"$(wall_us_with_cp "${words[@]}")"
  kib="$(peak_kib "${words[@]}")"
  if [ "$name" = cp ]; then
    cp_ir="$ir" cp_kib="$kib"
  fi
  r_ir="$(ratio "$ir" "$cp_ir")" r_us="$(ratio "$us" "$paired_cp_us")" r_kib="$(ratio "$kib" "$cp_kib")"
  verdict=ok
  case "$name" in
    cp) verdict="-" ;;
    png) at_most "$r_ir" 7.5 || verdict=MISSED ;;
    *) { at_most "$r_ir" 0.3 && at_most "$r_us" 1 && at_most "$r_kib" 1; } || verdict=MISSED ;;
  esac
  [ "$verdict" = MISSED ] && missed=1
  printf '| %-8s | %-15s | %12s | %7s | %8s | %7s | %8s | %7s | %-6s |\n' \
    "$name" "$family" "$ir" "$r_ir" "$us" "$r_us" "$kib" "$r_kib" "$verdict"
done

sources=("$root/examples/testcard.kla")
if [ -d "$pictures" ]; then
  for picture in "$pictures"/*.kla; do [ -e "$picture" ] && sources+=("$picture"); done
fi

echo
echo "png on every picture against cp of the same picture, and its size against libpng's defaults"
echo
printf '| %-16s | %12s | %10s | %7s | %9s | %13s | %8s | %-6s |\n' \
  picture instructions "cp instr." "x cp" "PNG bytes" "libpng bytes" "larger" target
printf '|%s|%s|%s|%s|%s|%s|%s|%s|\n' ------------------ -------------: ------------: --------: \
  ----------: ---------------: ---------: --------
total_ours=0 total_theirs=0
for source in "${sources[@]}"; do
  cp "$source" picture.kla
  ir="$(instructions "$b" png picture.kla ours.png)"
  copy_ir="$(instructions cp picture.kla copy.kla)"
  "$reference" picture.kla reference.png
  ours="$(stat -c %s ours.png)" theirs="$(stat -c %s reference.png)"
  total_ours=$((total_ours + ours)) total_theirs=$((total_theirs + theirs))
  r_ir="$(ratio "$ir" "$copy_ir")"
  larger="$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%+.2f%%", 100 * (a - b) / b }')"
  verdict=ok
  { at_most "$r_ir" 7.5 && at_most "$ours" "$(awk -v b="$theirs" 'BEGIN { print b * 1.01 }')"; } ||
    { verdict=MISSED; missed=1; }
  printf '| %-16s | %12s | %10s | %7s | %9s | %13s | %8s | %-6s |\n' \
    "$(basename "$source" .kla)" "$ir" "$copy_ir" "$r_ir" "$ours" "$theirs" "$larger" "$verdict"
done
size_verdict=ok
[ "$total_ours" -lt "$total_theirs" ] || { size_verdict=MISSED; missed=1; }
echo
echo "png sizes in total: $total_ours bytes; libpng defaults: $total_theirs bytes: $size_verdict"

echo
echo "import of a 384x272 RGBA screenshot against cp of the same PNG file"
echo
printf '| %-16s | %-10s | %9s | %12s | %10s | %7s | %-9s |\n' \
  picture rows "PNG bytes" instructions "cp instr." "x cp" target
printf '|%s|%s|%s|%s|%s|%s|%s|\n' ------------------ ------------ ----------: \
  -------------: ------------: --------: -----------
for source in "${sources[@]}"; do
  for rows in unfiltered adaptive; do
    if [ "$rows" = unfiltered ]; then "$screenshot" --unfiltered "$source" shot.png
    else "$screenshot" "$source" shot.png; fi
    ir="$(instructions "$b" import shot.png shot.kla)"
    copy_ir="$(instructions cp shot.png copy.png)"
    r_ir="$(ratio "$ir" "$copy_ir")"
    verdict="-"
    if [ "$rows" = unfiltered ]; then
      verdict=ok
      at_most "$r_ir" 6.2 || { verdict=MISSED; missed=1; }
    fi
    printf '| %-16s | %-10s | %9s | %12s | %10s | %7s | %-9s |\n' \
      "$(basename "$source" .kla)" "$rows" "$(stat -c %s shot.png)" "$ir" "$copy_ir" "$r_ir" "$verdict"
  done
done

# Processor time (user and system) and peak memory of one run, the best of
# three: "seconds KiB".
cpu_and_peak() {
  local best_s="" best_kib="" s kib
  for _ in 1 2 3; do
    /usr/bin/time -f '%U %S %M' -o "$work/cost" "$@" >/dev/null 2>&1 || true
    read -r user system kib < <(tail -n 1 "$work/cost")
    s="$(awk -v u="$user" -v t="$system" 'BEGIN { printf "%.2f", u + t }')"
    if [ -z "$best_s" ] || awk -v a="$s" -v b="$best_s" 'BEGIN { exit !(a < b) }'; then
      best_s="$s"
    fi
    if [ -z "$best_kib" ] || [ "$kib" -lt "$best_kib" ]; then best_kib="$kib"; fi
  done
  echo "$best_s $best_kib"
}

echo
echo "import of hostile PNG files of the test card: processor time and peak memory, best of 3"
echo
printf '| %-34s | %10s | %7s | %9s | %12s | %-40s | %-6s |\n' \
  file "PNG bytes" "CPU s" "peak KiB" "over file" outcome target
printf '|%s|%s|%s|%s|%s|%s|%s|\n' ------------------------------------ -----------: --------: \
  ----------: -------------: ------------------------------------------ --------
# name | make_hostile_png arguments
hostile_cases=(
  "100 zTXt chunks of 7.5 MiB|ztxt 100 7.5"
  "990 zTXt chunks of 7.5 MiB|ztxt 990 7.5"
  "100 iTXt chunks of 7.5 MiB|itxt 100 7.5"
  "9.4 GiB of data after the last row|long 9600"
  "60 GiB of data after the last row|long 61000"
  "palette of 8 colours, index 9 used|palette 8"
  "5.5 million empty chunks|chunks 5500000"
)
for entry in "${hostile_cases[@]}"; do
  IFS='|' read -r name arguments <<<"$entry"
  read -r -a words <<<"$arguments"
  "$hostile" "${words[@]}" hostile.png
  bytes="$(stat -c %s hostile.png)"
  read -r seconds kib <<<"$(cpu_and_peak "$b" import hostile.png hostile.kla)"
  over=$((kib - bytes / 1024))
  reason="$({ "$b" import hostile.png hostile.kla 2>&1 >/dev/null || true; } |
    sed -n '1s/.*(\(.*\))\.$/\1/p')"
  outcome="imported"
  [ -z "$reason" ] || outcome="damaged: $(echo "$reason" | cut -c1-31)"
  verdict=ok
  { at_most "$seconds" 0.2 && [ "$over" -le 16384 ]; } || { verdict=MISSED; missed=1; }
  printf '| %-34s | %10s | %7s | %9s | %12s | %-40s | %-6s |\n' \
    "$name" "$bytes" "$seconds" "$kib" "$over" "$outcome" "$verdict"
done
rm -f hostile.png hostile.kla

echo
echo "crafted inputs: processor time and peak memory, best of 3"
echo
printf '| %-44s | %10s | %7s | %8s | %-44s | %-6s |\n' \
  file bytes "CPU s" "peak MiB" "message's first words" target
printf '|%s|%s|%s|%s|%s|%s|\n' ---------------------------------------------- -----------: --------: \
  ---------: ---------------------------------------------- --------
# name | make_crafted_input arguments | the file's name | command
crafted_cases=(
  "arithmetic JPEG, 65500x65500 zeros|arith-jpeg|crafted.jpg|convert"
  "progressive arithmetic JPEG, 100 scans|progressive-arith-jpeg|crafted.jpg|convert"
  "GIF after 200,000 comments|gif-comments|crafted.gif|convert"
  "PNG of 8000x8000 1-bit pixels|png-1bit|crafted.png|convert"
  "PNG of 20000x10|png-wide|crafted.png|convert"
  "EXIF: 10 bytes claim 65535 entries|exif-short|crafted.jpg|convert"
  "program at \$6000, 52224 bytes, no extension|program-6000|prog|import"
  "program at \$6000, 52224 bytes, as .zom|program-6000|x.zom|import"
  "64 MiB of zeros as .kla|zero-kla|zero.kla|import"
  "64 MiB and 1 byte of zeros as .kla|over-cap|over.kla|import"
)
for entry in "${crafted_cases[@]}"; do
  IFS='|' read -r name kind file command <<<"$entry"
  "$crafted" "$kind" "$file"
  bytes="$(stat -c %s "$file")"
  read -r seconds kib <<<"$(cpu_and_peak "$b" "$command" "$file" crafted.kla)"
  mib="$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')"
  message="$({ "$b" "$command" "$file" crafted.kla 2>&1 || true; } | head -n 1 | cut -c1-44)"
  verdict=ok
  { at_most "$seconds" 1.5 && [ "$kib" -le 131072 ]; } || { verdict=MISSED; missed=1; }
  printf '| %-44s | %10s | %7s | %8s | %-44s | %-6s |\n' \
    "$name" "$bytes" "$seconds" "$mib" "$message" "$verdict"
  rm -f "$file" crafted.kla
done

if [ -d "$photos" ]; then
  echo
  echo "convert's optimisation on the photographs (palette pepto): perceived error against the"
  echo "peer's picture of the same photograph, CPU time of the conversion (best of 3 runs) and"
  echo "peak memory of the process (reading the PNG included)"
  echo
  printf '| %-12s | %-8s | %10s | %7s | %10s | %7s | %8s | %-6s |\n' \
    photograph dither "perceived" "x peer" background "CPU ms" "peak KiB" target
  printf '|%s|%s|%s|%s|%s|%s|%s|%s|\n' -------------- ---------- -----------: --------: \
    ------------: --------: ---------: --------
  default_mode="$({ "$converter" 2>&1 || true; } | sed -n 's/.*; default \([a-z0-9]*\)$/\1/p')"
  sum_ours=0 sum_peer=0 count=0
  for photo in "$photos"/*.png; do
    name="$(basename "$photo" .png)"
    [ -e "$photos/$name.peer.kla" ] || continue
    peer="$("$measure" --palette=pepto "$photos/$name.peer.kla" "$photo")"
    for mode in none bayer2 bayer4 bayer8 floyd atkinson search; do
      read -r _ background error ms kib <<<"$("$converter" --palette=pepto --dither="$mode" --runs=3 \
        "$photo" converted.kla)"
      verdict="-"
      if [ "$mode" = "$default_mode" ]; then
        verdict=ok
        { at_most "$error" "$peer" && at_most "$ms" 40; } || { verdict=MISSED; missed=1; }
        sum_ours="$(awk -v a="$sum_ours" -v b="$error" 'BEGIN { print a + b }')"
        sum_peer="$(awk -v a="$sum_peer" -v b="$peer" 'BEGIN { print a + b }')"
        count=$((count + 1))
      fi
      printf '| %-12s | %-8s | %10s | %7s | %10s | %7s | %8s | %-6s |\n' "$name" "$mode" "$error" \
        "$(ratio "$error" "$peer")" "$background" "$ms" "$kib" "$verdict"
    done
    printf '| %-12s | %-8s | %10s | %7s | %10s | %7s | %8s | %-6s |\n' "$name" peer "$peer" 1.00 - - - -
  done
  if [ "$count" -gt 0 ]; then
    share="$(ratio "$sum_ours" "$sum_peer")"
    verdict=ok
    at_most "$share" 0.75 || { verdict=MISSED; missed=1; }
    echo
    echo "$default_mode (the default) over $count photographs: mean perceived error" \
      "$(awk -v a="$sum_ours" -v n="$count" 'BEGIN { printf "%.4f", a / n }'), the peer's" \
      "$(awk -v a="$sum_peer" -v n="$count" 'BEGIN { printf "%.4f", a / n }'): $share x: $verdict"
  fi
fi

# CPU seconds (user + system) and peak KiB of one run: "seconds KiB".
cpu_and_peak_once() {
  /usr/bin/time -f '%U %S %M' -o "$work/used" "$@" >/dev/null 2>&1
  awk '{ printf "%.2f %d\n", $1 + $2, $3 }' "$work/used"
}
less_than() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
# The same for two commands, the best of three runs of each, taking turns so
# that both see the same machine: "seconds KiB seconds KiB".
best_of_three_side_by_side() {  # ours... -- theirs...
  local ours=() theirs=() in_theirs=0 word
  for word in "$@"; do
    if [ "$word" = -- ]; then in_theirs=1; continue; fi
    if [ "$in_theirs" -eq 0 ]; then ours+=("$word"); else theirs+=("$word"); fi
  done
  local cpu kib cpu_o="" kib_o="" cpu_t="" kib_t=""
  for _ in 1 2 3; do
    read -r cpu kib <<<"$(cpu_and_peak_once "${ours[@]}")"
    if [ -z "$cpu_o" ] || less_than "$cpu" "$cpu_o"; then cpu_o="$cpu"; fi
    if [ -z "$kib_o" ] || [ "$kib" -lt "$kib_o" ]; then kib_o="$kib"; fi
    read -r cpu kib <<<"$(cpu_and_peak_once "${theirs[@]}")"
    if [ -z "$cpu_t" ] || less_than "$cpu" "$cpu_t"; then cpu_t="$cpu"; fi
    if [ -z "$kib_t" ] || [ "$kib" -lt "$kib_t" ]; then kib_t="$kib"; fi
  done
  echo "$cpu_o $kib_o $cpu_t $kib_t"
}

echo
echo "bitmosaic convert, the whole run, against djpeg -scale 1/8 of the same file (the decoder"
echo "is the floor: at most 1.25 x its CPU time and peak memory), and of each photograph under"
echo "../shared/photos (at most 50 ms and 10 MB); decode_bench: its decoding alone"
echo
printf '| %-26s | %-12s | %10s | %9s | %10s | %9s | %7s | %7s | %-6s |\n' \
  image run "CPU s" "peak KiB" "djpeg CPU" "djpeg KiB" "x CPU" "x KiB" target
printf '|%s|%s|%s|%s|%s|%s|%s|%s|%s|\n' ---------------------------- -------------- ----------: \
  -----------: ------------: -----------: --------: --------: --------
if [ -f "$photograph" ]; then
  for run in convert decoding; do
    if [ "$run" = convert ]; then ours=("$binary" convert "$photograph" converted.kla)
    else ours=("$decode" "$photograph"); fi
    read -r cpu kib djpeg_cpu djpeg_kib <<<"$(best_of_three_side_by_side \
      "${ours[@]}" -- djpeg -scale 1/8 -outfile /dev/null "$photograph")"
    r_cpu="$(ratio "$cpu" "$djpeg_cpu")" r_kib="$(ratio "$kib" "$djpeg_kib")"
    verdict=ok
    { at_most "$r_cpu" 1.25 && at_most "$r_kib" 1.25; } || { verdict=MISSED; missed=1; }
    [ "$run" = convert ] || verdict=-
    printf '| %-26s | %-12s | %10s | %9s | %10s | %9s | %7s | %7s | %-6s |\n' \
      "$(basename "$photograph")" "$run" "$cpu" "$kib" "$djpeg_cpu" "$djpeg_kib" "$r_cpu" \
      "$r_kib" "$verdict"
  done
else
  echo "bench: '$photograph' is missing" \
    "(scripts/install-deps.sh --bench installs mate-backgrounds)" >&2
  missed=1
fi
if [ -d "$photos" ]; then
  for photo in "$photos"/*.png; do
    [ -e "$photo" ] || continue
    read -r cpu kib <<<"$(cpu_and_peak "$binary" convert "$photo" converted.kla)"
    verdict=ok
    { at_most "$cpu" 0.05 && [ "$kib" -le 10240 ]; } || { verdict=MISSED; missed=1; }
    printf '| %-26s | %-12s | %10s | %9s | %10s | %9s | %7s | %7s | %-6s |\n' \
      "$(basename "$photo")" convert "$cpu" "$kib" - - - - "$verdict"
    read -r cpu kib <<<"$(cpu_and_peak "$decode" "$photo")"
    printf '| %-26s | %-12s | %10s | %9s | %10s | %9s | %7s | %7s | %-6s |\n' \
      "$(basename "$photo")" decoding "$cpu" "$kib" - - - - -
  done
fi
rm -f converted.kla

echo
echo "export and import of the picture formats against cp of the same file"
echo "target: at most 0.3 x cp's instructions"
echo
printf '| %-16s | %-16s | %-6s | %9s | %12s | %10s | %7s | %-6s |\n' \
  picture format run bytes instructions "cp instr." "x cp" target
printf '|%s|%s|%s|%s|%s|%s|%s|%s|\n' ------------------ ------------------ -------- \
  ----------: -------------: ------------: --------: --------
# name | --format | the file's name
formats=(
  "gg|gg|picture.gg"
  "amica|amica|picture.ami"
  "drazpaint-packed|drazpaint-packed|picture.drz"
  "artstudio|artstudio|picture.ocp"
  "gg, no name|gg|picture"
)
format_row() {
  local r_ir verdict=ok
  r_ir="$(ratio "$5" "$6")"
  at_most "$r_ir" 0.3 || { verdict=MISSED; missed=1; }
  printf '| %-16s | %-16s | %-6s | %9s | %12s | %10s | %7s | %-6s |\n' \
    "$1" "$2" "$3" "$4" "$5" "$6" "$r_ir" "$verdict"
}
for source in "${sources[@]}"; do
  cp "$source" picture.kla
  copy_ir="$(instructions cp picture.kla copy.kla)"
  for entry in "${formats[@]}"; do
    IFS='|' read -r name format file <<<"$entry"
    rm -f "$file"
    ir="$(instructions "$b" export picture.kla "$file" --format="$format")"
    [ "$name" = "gg, no name" ] ||
      format_row "$(basename "$source" .kla)" "$name" export "$(stat -c %s "$file")" "$ir" "$copy_ir"
    ir="$(instructions "$b" import "$file" imported.kla)"
    format_row "$(basename "$source" .kla)" "$name" import "$(stat -c %s "$file")" "$ir" \
      "$(instructions cp "$file" copy.bin)"
  done
done

echo
echo "export as a .prg program: its bytes, those besides the packed picture, the C64's cycles from"
echo "SYS to the finished picture, and the export's CPU time (best of 3); target: at most 1,000,000"
echo "cycles, 520 bytes besides the picture, the size given where one is, and 0.05 s"
echo
# The most bytes of the program of each named picture (examples' and
# ../shared's names).
declare -A prg_most=(
  [examples/testcard]=3500 [examples/disc]=960 [pictures/freshflower]=3870
  [pictures/garden]=4720 [pictures/ladybird]=6620 [photos/freshflower.peer]=3980
  [photos/garden.peer]=4520 [photos/ladybird.peer]=6400
)
prg_sources=("$root"/examples/*.kla)
for picture in "$pictures"/*.kla "$photos"/*.peer.kla; do
  [ -e "$picture" ] && prg_sources+=("$picture")
done
printf '| %-24s | %7s | %6s | %7s | %9s | %6s | %-6s |\n' picture bytes code "at most" cycles \
  "CPU s" target
printf '|%s|%s|%s|%s|%s|%s|%s|\n' -------------------------- --------: -------: --------: \
  ----------: -------: --------
total_bytes=0 total_cycles=0 count=0 shared_bytes=0 shared_cycles=0 shared_count=0
for source in "${prg_sources[@]}"; do
  key="$(basename "$(dirname "$source")")/$(basename "$source" .kla)"
  cp "$source" picture.kla
  rm -f picture.prg
  "$b" export picture.kla picture.prg >/dev/null
  read -r bytes code used _ <<<"$("$cycles" picture.prg)"
  read -r seconds _ <<<"$(cpu_and_peak "$b" export picture.kla scratch.prg)"
  rm -f scratch.prg
  most="${prg_most[$key]:--}"
  verdict=ok
  { [ "$used" -le 1000000 ] && [ "$code" -le 520 ] && at_most "$seconds" 0.05 &&
    { [ "$most" = - ] || [ "$bytes" -le "$most" ]; }; } || { verdict=MISSED; missed=1; }
  printf '| %-24s | %7s | %6s | %7s | %9s | %6s | %-6s |\n' "$key" "$bytes" "$code" "$most" \
    "$used" "$seconds" "$verdict"
  total_bytes=$((total_bytes + bytes)) total_cycles=$((total_cycles + used)) count=$((count + 1))
  if [ "${key%%/*}" != examples ]; then
    shared_bytes=$((shared_bytes + bytes)) shared_cycles=$((shared_cycles + used))
    shared_count=$((shared_count + 1))
  fi
done
rm -f picture.prg
echo
echo "mean over $count pictures: $((total_bytes / count)) bytes, $((total_cycles / count)) cycles"
if [ "$shared_count" -gt 0 ]; then
  echo "mean over the $shared_count under ../shared: $((shared_bytes / shared_count)) bytes," \
    "$((shared_cycles / shared_count)) cycles"
fi

echo
echo "the test card's program with --fade and --sid: its bytes, those besides the packed picture,"
echo "the cycles from SYS to the first look at the keyboard (the end of the fade-in; the tune"
echo "unpacked and its init run), the packed tune's bytes, and the growth over the plain program;"
echo "targets: --fade at most 300 bytes more, --sid at most the packed tune and 400 more, the"
echo "fade-in at most 24 frames (472,000 cycles) on top of 1,000,000"
echo
# A bench tune of 2 KB at \$1000, over the loaded program: a PSID header
# (version 2, init \$1000, play \$1003, PAL), then RTS, two bytes, INC \$D020
# ... and 2041 bytes of a pattern that packs to about 300.
{
  printf 'PSID\0\2\0\174\20\0\0\0\20\3\0\1\0\1\0\0\0\0'
  head -c 96 /dev/zero
  printf '\0\4\0\0\0\0'
  printf '\140\0\0\356\40\320\140'
  i=0
  while [ "$i" -lt 2041 ]; do
    # shellcheck disable=SC2059 # each byte an octal escape made for it
    printf "\\$(printf '%03o' $(((i * 7) & 255)))"
    i=$((i + 1))
  done
} >bench.sid
cp "$root/examples/testcard.kla" picture.kla
printf '| %-22s | %7s | %6s | %6s | %9s | %6s | %-6s |\n' program bytes code tune cycles growth \
  target
printf '|%s|%s|%s|%s|%s|%s|%s|\n' ------------------------ --------: -------: -------: ----------: \
  -------: --------
plain_bytes=0
for extras in "" "--fade" "--sid=bench.sid" "--fade --sid=bench.sid"; do
  rm -f picture.prg
  # shellcheck disable=SC2086 # the options are words
  "$b" export picture.kla picture.prg $extras >/dev/null
  read -r bytes code used tune <<<"$("$cycles" picture.prg)"
  [ -z "$extras" ] && plain_bytes=$bytes
  growth=$((bytes - plain_bytes))
  verdict=ok
  case "$extras" in
    --fade) [ "$growth" -le 300 ] && [ "$used" -le 1472000 ] || verdict=MISSED ;;
    --sid=*) [ "$growth" -le $((tune + 400)) ] && [ "$used" -le 1000000 ] || verdict=MISSED ;;
    "--fade --sid"*) [ "$growth" -le $((tune + 700)) ] || verdict=MISSED ;;
    *) [ "$used" -le 1000000 ] || verdict=MISSED ;;
  esac
  [ "$verdict" = ok ] || missed=1
  printf '| %-22s | %7s | %6s | %6s | %9s | %6s | %-6s |\n' "${extras:-plain}" "$bytes" "$code" \
    "$tune" "$used" "$growth" "$verdict"
done
rm -f picture.prg bench.sid

echo
if [ "$missed" -eq 0 ]; then echo "All targets met."; else echo "Some targets were missed."; fi
exit "$missed"
