#!/usr/bin/env bash
# Installs what is missing, builds the program, lays out its folder and starts
# it under Wine: on your display when DISPLAY is set; otherwise on a private
# Xvfb display, where it saves a screenshot, prints its path and ends the
# program.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/build.sh
source scripts/wine-session.sh
source tests/e2e/lib.sh
cleanup() {
  stop_program
  stop_session
}
trap cleanup EXIT

ensure_dependencies
echo "== building (Windows)"
build_windows
program="$PWD/build/win/program"
prefix="$PWD/build/run/wineprefix"

if [ -n "${DISPLAY:-}" ]; then
  prepare_prefix "$prefix"
  echo "== starting $program/AntiVirus.exe"
  wine "$program/AntiVirus.exe"
  exit 0
fi

start_display
prepare_prefix "$prefix"
start_program wine "$program/AntiVirus.exe"
win=$(wait_for_window "^Tolvar AntiVirus\$" 60) || fail "the main window did not appear"
sleep 2
read -r x y w h < <(window_geometry "$win")
shot="$PWD/build/run/screenshot.png"
mkdir -p "$(dirname "$shot")"
# The window with a margin of desktop around it, so the rounded corners show.
import -window root -crop "$((w + 40))x$((h + 40))+$((x - 20))+$((y - 20))" +repage "$shot"
echo "== screenshot of the main window ($w by $h): $shot"
