#!/usr/bin/env bash
# Fetches ClamAV's own signed test databases from Debian's clamav source
# package into a cache folder, once: test-1.cvd ... test-6.cvd and the
# patches test-2.cdiff ... test-6.cdiff (test-6.cvd detects the EICAR test
# file as "Eicar-Test-Signature"). The test mirror serves them to Debian's
# freshclam in the tests and the demo. They are never committed.
# Usage: fetch-clamav-testfiles.sh CACHE_DIR
set -euo pipefail

cache=$(realpath -m "${1:?usage: fetch-clamav-testfiles.sh CACHE_DIR}")
stamp="$cache/.fetched"
[ -f "$stamp" ] && exit 0

echo "== fetching ClamAV's test databases from Debian's clamav source package"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Only the upstream tarball is needed, so nothing is unpacked but the test
# files. The newest version may be listed without its source on the mirror
# (security updates often are); fall back to the release's own.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
ok=0
for target in clamav "clamav/$codename-updates" "clamav/$codename"; do
  if (cd "$work" && apt-get source -qq --download-only "$target" >/dev/null 2>&1); then
    ok=1
    break
  fi
  rm -rf "${work:?}"/*
done
[ "$ok" = 1 ] || { echo "could not fetch the source package clamav" >&2; exit 1; }
tarball=$(find "$work" -maxdepth 1 -name 'clamav_*.orig.tar.*' | head -n 1)
[ -n "$tarball" ] || { echo "the clamav source package holds no upstream tarball" >&2; exit 1; }

tar -xf "$tarball" -C "$work" --wildcards '*/unit_tests/input/freshclam_testfiles/*'
mkdir -p "$cache"
for f in "$work"/*/unit_tests/input/freshclam_testfiles/test-*.c*; do
  cp -f "$f" "$cache/"
done
for n in 1 2 3 4 5 6; do
  [ -s "$cache/test-$n.cvd" ] || { echo "test-$n.cvd is missing from the source" >&2; exit 1; }
done
touch "$stamp"
