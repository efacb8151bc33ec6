#!/usr/bin/env bash
# The splash window comes up before any other window of the program: a
# borderless 239 by 365 window centred on the screen with its picture and its
# gauge. It goes by itself after its 100 ticks and the main window follows.
# Usage: splash_test.sh WINE_RUN PROGRAM_DIR ARTIFACT_DIR
set -euo pipefail
wine_run=$1
program_dir=$2
artifacts=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

splash_name="^Loading Tolvar AntiVirus\$"

# A window of a program that an earlier test stopped may still be up.
stale=" $(xdotool search --name "^Tolvar AntiVirus\$" 2>/dev/null | tr '\n' ' ' || true) "

# Prints the id of this program's main window (792 by 442) if it is up.
main_window_now() {
  local id mw mh
  for id in $(xdotool search --onlyvisible --name "^Tolvar AntiVirus\$" 2>/dev/null || true); do
    [[ $stale == *" $id "* ]] && continue
    read -r _ _ mw mh < <(window_geometry "$id")
    if [ "$mw" = 792 ] && [ "$mh" = 442 ]; then
      echo "$id"
      return 0
    fi
  done
}

mkdir -p "$artifacts"
quiet_update_check
# Without real-time protection Close ends the program.
store_realtime off
start_program "$wine_run" "$program_dir/AntiVirus.exe"
trap stop_program EXIT

# The splash shows for little more than a second: look for it often.
splash=""
for _ in $(seq 600); do
  splash=$(xdotool search --onlyvisible --name "$splash_name" 2>/dev/null | head -n 1 || true)
  [ -n "$splash" ] && break
  [ -z "$(main_window_now)" ] || fail "the main window came up before any splash window"
  sleep 0.1
done
[ -n "$splash" ] || fail "no splash window captioned 'Loading Tolvar AntiVirus' appeared"
shot="$artifacts/splash_screen.png"
screenshot "$shot"
[ -z "$(main_window_now)" ] || fail "the main window was up together with the splash"

read -r x y w h < <(window_geometry "$splash")
echo "splash window at ($x, $y), $w by $h"
[ "$w" = 239 ] && [ "$h" = 365 ] || fail "splash window is $w by $h, expected 239 by 365"
read -r sw sh < <(screen_size)
[ $(( x - (sw - w) / 2 )) -ge -1 ] && [ $(( x - (sw - w) / 2 )) -le 1 ] &&
  [ $(( y - (sh - h) / 2 )) -ge -1 ] && [ $(( y - (sh - h) / 2 )) -le 1 ] ||
  fail "splash window at ($x, $y) is not centred on the $sw by $sh screen"
convert "$shot" -crop "${w}x${h}+${x}+${y}" +repage "$artifacts/splash.png"
echo "screenshot: $artifacts/splash.png"

# The picture: dark navy near the top; the gauge: its black frame and white
# unfilled end at the bottom.
IFS=, read -r r g b <<<"$(pixel "$shot" $((x + 10)) $((y + 20)))"
[ "$b" -gt "$r" ] && [ "$b" -lt 140 ] || fail "the splash picture's navy is missing ($r,$g,$b)"
[ "$(pixel "$shot" "$x" $((y + 340)))" = "0,0,0" ] || fail "no gauge frame at the splash's bottom"
[ "$(pixel "$shot" $((x + w - 1)) $((y + h - 1)))" = "0,0,0" ] ||
  fail "no gauge frame at the splash's bottom right corner"
[ "$(pixel "$shot" $((x + w - 4)) $((y + 343)))" = "255,255,255" ] ||
  fail "the gauge's unfilled end is not white"

# It goes by itself; the main window follows.
win=$(wait_for_main_window 60 "$stale") || fail "the main window did not follow the splash"
! xdotool search --onlyvisible --name "" 2>/dev/null | grep -qx "$splash" ||
  fail "the splash window is still up beside the main window"
sleep 0.5
# Where the splash stood, the main window shows now.
[ "$(pixel_of_screen $((x + 10)) $((y + 20)))" != "$r,$g,$b" ] ||
  fail "the splash picture is still on the screen over the main window"
read -r mx my _ _ < <(window_geometry "$win")

# The Close button ends the program (and the splash kept for the run).
close_by_button "$mx" "$my"
echo "PASS: splash 239x365, centred, before the main window, gone when the main window came; Close ends the program"
