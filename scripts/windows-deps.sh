#!/usr/bin/env bash
# Installs the MinGW-w64 cross toolchain, its zlib, wine and the 6502
# assembler that the build runs on this host (64tass) from Debian's
# packages, and builds libpng, libdeflate, libjpeg-turbo and giflib for 64-bit
# Windows from Debian's own source packages (fetched through a private
# deb-src list: the system's apt sources stay as they are). The libraries go
# to build-windows-deps/, which cmake/mingw-w64.cmake searches. Through sudo
# when not run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
prefix="$root/build-windows-deps"
cross=x86_64-w64-mingw32
cc="$cross-gcc-posix"

packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 xz-utils 64tass cmake nasm)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${as_root[@]}" apt-get update
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
fi

libraries=(libpng libdeflate libjpeg libgif)
built=1
for library in "${libraries[@]}"; do [ -f "$prefix/lib/$library.a" ] || built=0; done
if [ "$built" -eq 1 ]; then
  echo "Windows libraries are built: $prefix"
  exit 0
fi

# Debian's source packages, through apt with a source list of our own.
work="$prefix/src"
mkdir -p "$work/apt/lists/partial" "$work/apt/sources.list.d" "$prefix/lib" "$prefix/include"
codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
cat > "$work/apt/sources.list.d/sources.sources" <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
apt_private=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$work/apt/sources.list.d"
             -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache")
apt-get "${apt_private[@]}" update
(cd "$work" && apt-get "${apt_private[@]}" source --download-only libpng1.6 libdeflate \
                                                                  libjpeg-turbo giflib)

unpack() {  # the upstream tarball of a source package into $work/<name>
  local name="$1" tarball
  tarball="$(ls "$work"/"$name"_*.orig.tar.* | head -n 1)"
  rm -rf "$work/$name" && mkdir -p "$work/$name"
  tar -xf "$tarball" -C "$work/$name" --strip-components=1
}

# Each library is built only when its archive is missing, so that adding one
# leaves the others as they are.
# libpng: its library sources with the configuration it ships prebuilt.
[ -f "$prefix/lib/libpng.a" ] || (
  unpack libpng1.6
  cd "$work/libpng1.6"
  cp scripts/pnglibconf.h.prebuilt pnglibconf.h
  objects=()
  for source in png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset \
                pngtrans pngwio pngwrite pngwtran pngwutil; do
    "$cc" -O2 -DPNG_ARM_NEON_OPT=0 -DPNG_INTEL_SSE_OPT=0 -c "$source.c" -o "$source.o"
    objects+=("$source.o")
  done
  "$cross-ar" rcs "$prefix/lib/libpng.a" "${objects[@]}"
  cp png.h pngconf.h pnglibconf.h "$prefix/include/"
)

# libdeflate: the library's sources, the x86 ones included.
[ -f "$prefix/lib/libdeflate.a" ] || (
  unpack libdeflate
  cd "$work/libdeflate"
  objects=()
  for source in lib/*.c lib/x86/*.c; do
    object="${source//\//_}.o"
    "$cc" -O2 -Wall -I. -c "$source" -o "$object"
    objects+=("$object")
  done
  "$cross-ar" rcs "$prefix/lib/libdeflate.a" "${objects[@]}"
  cp libdeflate.h "$prefix/include/"
)

# libjpeg-turbo: its own CMake build, cross-compiled, the static library
# only, with its x86-64 SIMD code (assembled by nasm).
[ -f "$prefix/lib/libjpeg.a" ] || (
  unpack libjpeg-turbo
  cd "$work/libjpeg-turbo"
  cmake -S . -B build -G Ninja -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=AMD64 \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_RC_COMPILER="$cross-windres" \
    -DCMAKE_ASM_NASM_COMPILER=nasm -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON
  cmake --build build --target jpeg-static
  cp build/libjpeg.a "$prefix/lib/libjpeg.a"
  cp jpeglib.h jmorecfg.h jerror.h build/jconfig.h "$prefix/include/"
)

# giflib: its library sources.
[ -f "$prefix/lib/libgif.a" ] || (
  unpack giflib
  cd "$work/giflib"
  objects=()
  for source in dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray; do
    "$cc" -O2 -Wall -c "$source.c" -o "$source.o"
    objects+=("$source.o")
  done
  "$cross-ar" rcs "$prefix/lib/libgif.a" "${objects[@]}"
  cp gif_lib.h "$prefix/include/"
)
echo "Windows libraries are built: $prefix"
