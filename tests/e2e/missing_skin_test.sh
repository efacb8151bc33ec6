#!/usr/bin/env bash
# A program folder with a skin strip missing: start-up reports the file by
# name and the program keeps running instead of crashing.
# Usage: missing_skin_test.sh WINE_RUN PROGRAM_DIR ARTIFACT_DIR
set -euo pipefail
wine_run=$1
program_dir=$2
artifacts=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

broken="$artifacts/broken_program"
rm -rf "$broken"
mkdir -p "$artifacts"
cp -r "$program_dir" "$broken"
rm "$broken/bin/skin/img5.png"

quiet_update_check
start_program "$wine_run" "$broken/AntiVirus.exe"
trap 'stop_program; rm -rf "$broken"' EXIT

# The error report is a message box titled with the application's title
# ("Tolvar Antivirus"; the main window is "Tolvar AntiVirus").
box=$(wait_for_window "^Tolvar Antivirus\$" 60) || fail "no error report appeared"
sleep 0.5
read -r bx by bw bh < <(window_geometry "$box")
[ "$bw" != 792 ] || fail "the main window came up without any error report"
import -window root -crop "${bw}x${bh}+${bx}+${by}" +repage "$artifacts/missing_skin_report.png"
echo "error report: $artifacts/missing_skin_report.png"
# OK sits centred at the bottom of the box.
xdotool mousemove $((bx + bw / 2)) $((by + bh - 18)) click 1
wait_for_main_window 30 >/dev/null || fail "the main window did not follow the report"
kill -0 "$program_pid" 2>/dev/null || fail "the program ended after the report"
echo "PASS: missing strip reported, program still running"
