#!/bin/sh
# Checks that a released binary carries the hardening the build gives it, as
# far as the file itself shows it, and names every property that is missing.
#
#   check_hardening.sh elf BINARY COMPILE_COMMANDS
#     the static Linux binary: position-independent (ELF type DYN) yet static
#     (no program interpreter, no NEEDED library), RELRO, bound now, stack
#     canaries linked in; and the compile commands of the library's and the
#     tool's sources (compile_commands.json of the build folder) carry the
#     stack protector, libstdc++'s assertions and, where they are optimised,
#     FORTIFY.
#   check_hardening.sh pe OBJDUMP BINARY.exe
#     the Windows binary: loaded at a random address anywhere in the 64-bit
#     space, data not executable, and no DLL of the compiler's runtime (the
#     stack protector's libssp among them) to be shipped beside it.
set -u
missing=0
fail() {
  echo "MISSING: $*" >&2
  missing=1
}

check_elf() {
  binary="$1" commands="$2"
  [ -f "$binary" ] || { echo "MISSING: the binary '$binary'" >&2; exit 1; }
  header="$(readelf -hW "$binary")" || { echo "MISSING: readelf cannot read '$binary'" >&2; exit 1; }
  segments="$(readelf -lW "$binary")"
  dynamic="$(readelf -dW "$binary")"
  symbols="$(readelf -sW "$binary")"

  printf '%s\n' "$header" | grep -Eq '^ *Type: +DYN' ||
    fail "position independence: ELF type is not DYN ($(printf '%s\n' "$header" |
      sed -n 's/^ *Type: *//p'))"
  ! printf '%s\n' "$segments" | grep -Eq '^ *INTERP ' ||
    fail "static-pie: the binary has an INTERP program header (it needs the dynamic loader)"
  ! printf '%s\n' "$dynamic" | grep -q '(NEEDED)' ||
    fail "static-pie: the binary needs shared libraries ($(printf '%s\n' "$dynamic" |
      sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' '))"
  printf '%s\n' "$segments" | grep -Eq '^ *GNU_RELRO ' ||
    fail "RELRO: no GNU_RELRO program header (link with -Wl,-z,relro)"
  printf '%s\n' "$dynamic" | grep -Eq '\(FLAGS\) +.*BIND_NOW|\(FLAGS_1\) +Flags:.* NOW( |$)' ||
    fail "BIND_NOW: neither FLAGS BIND_NOW nor FLAGS_1 NOW in the dynamic section (link with -Wl,-z,now)"
  printf '%s\n' "$symbols" | grep -Eq ' __stack_chk_fail(@.*)?$' ||
    fail "stack protector: no __stack_chk_fail symbol (compile with -fstack-protector-strong)"

  if [ ! -f "$commands" ]; then
    fail "compile flags: '$commands' does not exist (configure with CMAKE_EXPORT_COMPILE_COMMANDS=ON)"
  else
    # CMake writes one entry's command a line. The objects of the library
    # and of the tool itself are checked; the first source without a flag
    # names it.
    report="$(awk '
      /^ *"command": / && / -o CMakeFiles\/bitmosaic(_core)?\.dir\// {
        sources++
        source = $0
        sub(/.* -c /, "", source)
        sub(/",?$/, "", source)
        if ($0 !~ / -fstack-protector-strong /) lacks["-fstack-protector-strong"] = source
        # FORTIFY works through the optimiser: a Debug build goes without.
        if ($0 ~ / -O([1-3sz]|fast)? / && $0 !~ / -D_FORTIFY_SOURCE=[1-9] /)
          lacks["-D_FORTIFY_SOURCE"] = source
        if ($0 !~ / -D_GLIBCXX_ASSERTIONS /) lacks["-D_GLIBCXX_ASSERTIONS"] = source
      }
      END {
        print "sources " sources + 0
        for (flag in lacks) print flag " " lacks[flag]
      }' "$commands")"
    sources="$(printf '%s\n' "$report" | sed -n 's/^sources //p')"
    [ "$sources" -gt 0 ] ||
      fail "compile flags: no source of bitmosaic_core or bitmosaic in '$commands'"
    while read -r flag source; do
      [ "$flag" = sources ] ||
        fail "compile flags: $flag not in the compile command of $source (and maybe others)"
    done <<REPORT
$report
REPORT
  fi
  [ "$missing" -eq 0 ] &&
    echo "$binary: static-pie, RELRO, BIND_NOW, stack protector; $sources sources compiled with the stack protector, libstdc++ assertions and, where optimised, FORTIFY"
}

check_pe() {
  objdump="$1" binary="$2"
  [ -f "$binary" ] || { echo "MISSING: the binary '$binary'" >&2; exit 1; }
  headers="$("$objdump" -p "$binary")" ||
    { echo "MISSING: '$objdump -p' cannot read '$binary'" >&2; exit 1; }
  # The flags are listed one a line under DllCharacteristics.
  characteristics="$(printf '%s\n' "$headers" |
    awk '/^DllCharacteristics/ { on = 1; next } on && /^[ \t]+[A-Z_]+$/ { print $1; next } { on = 0 }')"
  for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
    printf '%s\n' "$characteristics" | grep -qx "$flag" ||
      fail "$flag not among the DllCharacteristics of '$binary' ($(echo $characteristics))"
  done
  runtime="$(printf '%s\n' "$headers" | sed -n 's/^.*DLL Name: *//p' | grep -Ei '^(lib|zlib)' |
    tr '\n' ' ')"
  [ -z "$runtime" ] || fail "static runtime: '$binary' needs ${runtime}beside it"
  [ "$missing" -eq 0 ] &&
    echo "$binary: DYNAMIC_BASE, HIGH_ENTROPY_VA, NX_COMPAT; no runtime DLL"
}

case "${1:-}" in
  elf) [ $# -eq 3 ] || { echo "usage: $0 elf BINARY COMPILE_COMMANDS" >&2; exit 2; }
       check_elf "$2" "$3" ;;
  pe) [ $# -eq 3 ] || { echo "usage: $0 pe OBJDUMP BINARY.exe" >&2; exit 2; }
      check_pe "$2" "$3" ;;
  *) echo "usage: $0 elf BINARY COMPILE_COMMANDS | pe OBJDUMP BINARY.exe" >&2; exit 2 ;;
esac
exit "$missing"
