#!/usr/bin/env bash
# Installs what is missing, builds both configurations and runs every test
# suite: native unit tests (sanitizers on), then the Windows unit, Win32 and
# end-to-end tests under Wine on a private Xvfb display.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/build.sh
source scripts/wine-session.sh
trap stop_session EXIT

ensure_dependencies
echo "== building (native)"
build_native
echo "== building (Windows)"
build_windows

status=0
echo "== native tests"
(cd build/native && ctest --output-on-failure -j2) || status=1

echo "== Windows tests under Wine"
start_display
prepare_prefix "$PWD/build/win/wineprefix" fresh
(cd build/win && ctest --output-on-failure) || status=1

if [ "$status" = 0 ]; then echo "== all tests passed"; else echo "== some tests FAILED"; fi
exit "$status"
