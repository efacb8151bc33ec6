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
  clamav clamav-freshclam clamav-daemon clamav-testfiles xz-utils
  nsis
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# ClamAV's packages start their system services when installed (clamd,
# with a database in /var/lib/clamav, and freshclam's daemon); the project
# runs clamd and freshclam itself, as the user, for the program only. Where
# no policy says otherwise, a temporary one (policy-rc.d, which both
# invoke-rc.d and deb-systemd-invoke ask) forbids starting those two while
# they are installed; any other service starts as usual.
policy=/usr/sbin/policy-rc.d
own_policy=0
hold_back_daemons() {
  [ -e "$policy" ] && return 0
  cat >"$policy" <<'POLICY'
#!/bin/sh
# Written by Tolvar's install-packages.sh for one install; removed after it.
for service; do
  case "$service" in
    --*) ;;
    clamav-daemon|clamav-daemon.*|clamav-freshclam|clamav-freshclam.*) exit 101 ;;
    *) exit 0 ;;
  esac
done
exit 0
POLICY
  chmod 755 "$policy"
  own_policy=1
  trap release_daemons EXIT
}
release_daemons() {
  if [ "$own_policy" = 1 ]; then
    rm -f "$policy"
    own_policy=0
  fi
}

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
    hold_back_daemons
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    release_daemons
  fi
fi

# The mingw compilers come in two thread models; the build names the posix
# one explicitly, so the alternatives need no change.
command -v x86_64-w64-mingw32-g++-posix >/dev/null
