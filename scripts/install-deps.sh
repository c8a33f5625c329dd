#!/usr/bin/env bash
# Installs the Debian packages that building and testing bitmosaic need,
# only those that are missing; through sudo when not run as root.
#   --fuzz   also clang 14 and its fuzzing runtime, for scripts/fuzz.sh
#   --bench  also valgrind, GNU time, libjpeg-turbo's djpeg and the photograph of
#            mate-backgrounds that the convert benchmark decodes, for bench/run.sh
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libpng-dev libdeflate-dev
          libjpeg62-turbo-dev libgif-dev groff-base strace 64tass)
for option in "$@"; do
  case "$option" in
    --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    --bench) packages+=(valgrind time libjpeg-turbo-progs mate-backgrounds) ;;
    *) echo "usage: $0 [--fuzz] [--bench]" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "Installing ${missing[*]} needs root, and sudo is not installed." >&2
    exit 1
  fi
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends "${missing[@]}"
