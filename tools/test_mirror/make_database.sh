#!/usr/bin/env bash
# make_database.sh OUT NAME VERSION BODY_BYTES
# Writes a signature database file as a mirror serves it: a 512-byte header
# "ClamAV-VDB:<date>:<version>:<signatures>:<level>:<md5>:<sig>:<builder>:<time>"
# padded with blanks, then BODY_BYTES bytes of body whose MD5 the header
# gives. The program checks the header's shape and that checksum, so the
# body is filler that differs by version; it is no database ClamAV can load.
set -euo pipefail
out=$1 name=$2 version=$3 body=$4
head -c "$body" /dev/zero | tr '\0' "$(printf '%s' "$name$version" | cut -c1)" >"$out.body"
md5=$(md5sum <"$out.body" | cut -c1-32)
header="ClamAV-VDB:07 Dec 2026 06-00 +0000:${version}:1234:90:${md5}:testsig:tolvar-test:1796623200"
{
  printf '%-512s' "$header"
  cat "$out.body"
} >"$out.tmp"
rm -f "$out.body"
mv "$out.tmp" "$out"
