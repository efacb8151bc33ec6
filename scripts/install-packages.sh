#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, only
# when one of them is missing, and makes sure source packages can be fetched
# (the Windows builds of libpng, libjpeg-turbo and GoogleTest are made from
# Debian's own sources).
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config dpkg-dev
  clang-format
  libpng-dev zlib1g-dev libjpeg62-turbo-dev libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev libz-mingw-w64-dev
  wine wine64 fonts-wine fonts-liberation fonts-dejavu-core fonts-wqy-microhei
  xvfb xauth xdotool imagemagick
  clamav clamav-freshclam xz-utils
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

need_update=0
# Source packages need a deb-src line; add one beside the system's own list.
if ! grep -rqs '^\s*\(Types:.*deb-src\|deb-src\)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  src_list=/etc/apt/sources.list.d/tolvar-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    # Same mirrors and suites as the binary list, for source packages.
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$src_list"
  else
    grep -E '^\s*deb\s' /etc/apt/sources.list | sed 's/^\s*deb\s/deb-src /' \
      >/etc/apt/sources.list.d/tolvar-deb-src.list
  fi
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ "$need_update" = 1 ]; then
  echo "== installing: ${missing[*]:-(source lists only)}"
  apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
fi

# The mingw compilers come in two thread models; the build names the posix
# one explicitly, so the alternatives need no change.
command -v x86_64-w64-mingw32-g++-posix >/dev/null
