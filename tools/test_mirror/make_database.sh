#!/usr/bin/env bash
# make_database.sh OUT NAME VERSION BODY_BYTES
# Writes a signature database file as the mirror serves it: a 512-byte
# header "ClamAV-VDB:<date>:<version>:<signatures>:<level>:<md5>:<sig>:<builder>:<time>"
# padded with blanks, then BODY_BYTES bytes of body. The program only checks
# the header's shape, so the body is filler that differs by version.
set -euo pipefail
out=$1 name=$2 version=$3 body=$4
header="ClamAV-VDB:07 Dec 2026 06-00 +0000:${version}:1234:90:0123456789abcdef0123456789abcdef:testsig:tolvar-test:1796623200"
{
  printf '%-512s' "$header"
  head -c "$body" /dev/zero | tr '\0' "$(printf '%s' "$name$version" | cut -c1)"
} >"$out.tmp"
mv "$out.tmp" "$out"
