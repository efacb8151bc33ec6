#!/usr/bin/env bash
# Makes, once, a database as ClamAV's updater leaves it on a PC's second
# day: Debian's freshclam, run natively against the test mirror, patches
# ClamAV's test-5.cvd with test-6.cdiff into test.cld (version 6, with the
# EICAR signature), whose header carries "X" where a .cvd has its MD5 and
# signature. The patches apply only under the database's own name "test"
# (served as "daily", freshclam fails with "Can't open daily.info"); the
# tests and the demo copy the result where they need it, as daily.cld.
# freshclam's output is kept beside it as freshclam.log.
# Usage: make-patched-database.sh TESTFILES_DIR CACHE_DIR
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
tests=$(realpath "${1:?usage: make-patched-database.sh TESTFILES_DIR CACHE_DIR}")
cache=$(realpath -m "${2:?usage: make-patched-database.sh TESTFILES_DIR CACHE_DIR}")
[ -s "$cache/test.cld" ] && exit 0

echo "== patching ClamAV's test-5.cvd into test.cld with Debian's freshclam"
command -v freshclam >/dev/null || { echo "freshclam is not installed" >&2; exit 1; }
for f in test-5.cvd test-6.cvd test-6.cdiff; do
  [ -s "$tests/$f" ] || { echo "$tests/$f is missing" >&2; exit 1; }
done
work=$(mktemp -d)
mirror=""
cleanup() {
  if [ -n "$mirror" ]; then
    kill "$mirror" 2>/dev/null || true
    wait "$mirror" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/mirror/files" "$work/db"
cp "$tests/test-5.cvd" "$work/db/test.cvd"
cp "$tests/test-6.cvd" "$work/mirror/files/test.cvd"
cp "$tests/test-6.cdiff" "$work/mirror/files/test-6.cdiff"
python3 "$here/../tools/test_mirror/test_mirror.py" "$work/mirror" "$work/mirror/port" &
mirror=$!
for _ in $(seq 100); do
  [ -s "$work/mirror/port" ] && break
  sleep 0.1
done
[ -s "$work/mirror/port" ] || { echo "the test mirror did not start" >&2; exit 1; }

cat >"$work/freshclam.conf" <<EOF
DatabaseDirectory $work/db
DatabaseMirror http://127.0.0.1:$(cat "$work/mirror/port")
DNSDatabaseInfo no
DatabaseOwner $(id -un)
EOF
if ! freshclam --config-file="$work/freshclam.conf" --datadir="$work/db" --no-dns \
  --update-db=test >"$work/freshclam.log" 2>&1; then
  cat "$work/freshclam.log" >&2
  echo "freshclam did not update the test database" >&2
  exit 1
fi
# The update must have come as the patch: a whole download would be a .cvd.
grep -q '^GET /test-6.cdiff' "$work/mirror/requests.log" ||
  { echo "freshclam did not fetch test-6.cdiff" >&2; exit 1; }
[ -s "$work/db/test.cld" ] && [ ! -e "$work/db/test.cvd" ] ||
  { cat "$work/freshclam.log" >&2; echo "freshclam made no test.cld" >&2; exit 1; }
mkdir -p "$cache"
cp "$work/freshclam.log" "$cache/freshclam.log"
cp "$work/db/test.cld" "$cache/test.cld.tmp"
mv "$cache/test.cld.tmp" "$cache/test.cld"
