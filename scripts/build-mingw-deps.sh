#!/usr/bin/env bash
# Builds the Windows (mingw-w64) static libraries the program links against
# from Debian's source packages: libpng, libjpeg-turbo and GoogleTest.
# Usage: build-mingw-deps.sh CACHE_DIR
# Each library is installed into CACHE_DIR/prefix; a stamp file per library
# lets a second run skip what is already there.
set -euo pipefail

cache=$(realpath -m "${1:?usage: build-mingw-deps.sh CACHE_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
toolchain="$here/../cmake/toolchain-mingw64.cmake"
prefix="$cache/prefix"
jobs=$(nproc)
mkdir -p "$cache/src" "$prefix"

common_cmake=(
  -G Ninja
  -DCMAKE_TOOLCHAIN_FILE="$toolchain"
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$prefix"
  -DCMAKE_PREFIX_PATH="$prefix"
  -DCMAKE_FIND_ROOT_PATH="$prefix;/usr/x86_64-w64-mingw32"
  -DCMAKE_POLICY_DEFAULT_CMP0074=NEW
)

# Fetches and unpacks Debian's source package $1 into the cache once and
# prints the folder it unpacked to.
fetch_source() {
  local pkg=$1 dir
  dir=$(find "$cache/src/$pkg" -mindepth 1 -maxdepth 1 -type d 2>/dev/null | head -n 1 || true)
  if [ -z "$dir" ]; then
    rm -rf "$cache/src/$pkg"
    mkdir -p "$cache/src/$pkg"
    # The newest version may be listed without its source on the mirror
    # (security updates often are); fall back to the release's own.
    local codename target ok=0
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    for target in "$pkg" "$pkg/$codename-updates" "$pkg/$codename"; do
      if (cd "$cache/src/$pkg" && apt-get source -qq "$target" >/dev/null 2>&1); then
        ok=1
        break
      fi
      rm -rf "${cache:?}/src/$pkg"/*
    done
    [ "$ok" = 1 ] || { echo "could not fetch the source package $pkg" >&2; return 1; }
    dir=$(find "$cache/src/$pkg" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  fi
  echo "$dir"
}

build_cmake() {
  local name=$1 src=$2; shift 2
  local stamp="$cache/$name.done"
  [ -f "$stamp" ] && return 0
  echo "== building $name for Windows"
  rm -rf "$cache/build-$name"
  cmake -S "$src" -B "$cache/build-$name" "${common_cmake[@]}" "$@" >"$cache/$name.log" 2>&1 ||
    { tail -n 40 "$cache/$name.log" >&2; exit 1; }
  cmake --build "$cache/build-$name" -j "$jobs" >>"$cache/$name.log" 2>&1 ||
    { tail -n 40 "$cache/$name.log" >&2; exit 1; }
  cmake --install "$cache/build-$name" >>"$cache/$name.log" 2>&1 ||
    { tail -n 40 "$cache/$name.log" >&2; exit 1; }
  touch "$stamp"
}

if [ ! -f "$cache/libpng.done" ]; then
  src=$(fetch_source libpng1.6)
  build_cmake libpng "$src" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_ROOT=/usr/x86_64-w64-mingw32 \
    -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a \
    -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include
fi

if [ ! -f "$cache/libjpeg.done" ]; then
  simd=OFF
  command -v nasm >/dev/null && simd=ON
  src=$(fetch_source libjpeg-turbo)
  build_cmake libjpeg "$src" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=$simd
fi

# GoogleTest's sources come with Debian's googletest package.
build_cmake googletest /usr/src/googletest \
  -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF

echo "== Windows libraries ready in $prefix"
