#!/usr/bin/env bash
# with_test_mirror.sh MIRROR_ROOT COMMAND...
# Runs COMMAND with the test mirror listening on 127.0.0.1: its address in
# TOLVAR_TEST_MIRROR (host:port) and its root folder, as Windows sees it
# through Wine's Z: drive, in TOLVAR_TEST_MIRROR_ROOT. The mirror ends with
# the command.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$1
shift
rm -rf "$root"
mkdir -p "$root/files"
port_file="$root/port"
python3 "$here/../../tools/test_mirror/test_mirror.py" "$root" "$port_file" &
mirror=$!
trap 'kill "$mirror" 2>/dev/null || true; wait "$mirror" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  [ -s "$port_file" ] && break
  sleep 0.1
done
[ -s "$port_file" ] || { echo "the test mirror did not start" >&2; exit 1; }
export TOLVAR_TEST_MIRROR="127.0.0.1:$(cat "$port_file")"
export TOLVAR_TEST_MIRROR_ROOT="Z:${root//\//\\}"
"$@"
