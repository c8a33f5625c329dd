#!/usr/bin/env bash
# Installs the Debian packages that building and testing bitmosaic needs,
# only those that are missing. Run as root (CI does). With --bench, also
# what bench/run.sh measures with (valgrind, GNU time).
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libpng-dev groff-base
          clang-14 libclang-rt-14-dev)
if [ "${1:-}" = --bench ]; then packages+=(valgrind time); fi
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
