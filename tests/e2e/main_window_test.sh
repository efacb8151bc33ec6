#!/usr/bin/env bash
# The built program starts under Wine, its main window is found by caption,
# and a screenshot shows a 792 by 442 window with rounded corners.
# Usage: main_window_test.sh WINE_RUN PROGRAM_DIR ARTIFACT_DIR
set -euo pipefail
wine_run=$1
program_dir=$2
artifacts=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

mkdir -p "$artifacts"
quiet_update_check
# Without real-time protection Close ends the program.
store_realtime off
start_program "$wine_run" "$program_dir/AntiVirus.exe"
trap stop_program EXIT

win=$(wait_for_window "^Tolvar AntiVirus\$" 60) || fail "no window captioned 'Tolvar AntiVirus' appeared"
sleep 1
read -r x y w h < <(window_geometry "$win")
echo "main window at ($x, $y), $w by $h"
[ "$w" = 792 ] && [ "$h" = 442 ] || fail "main window is $w by $h, expected 792 by 442"

# Centred on the screen.
read -r sw sh < <(screen_size)
[ $(( x - (sw - w) / 2 )) -ge -1 ] && [ $(( x - (sw - w) / 2 )) -le 1 ] &&
  [ $(( y - (sh - h) / 2 )) -ge -1 ] && [ $(( y - (sh - h) / 2 )) -le 1 ] ||
  fail "main window at ($x, $y) is not centred on the $sw by $sh screen"

shot="$artifacts/main_window.png"
screenshot "$shot"
echo "screenshot: $shot"

# The corners are cut away (the desktop shows), just inside them is the window.
desktop=$(pixel "$shot" 2 2)
inside=$(pixel "$shot" $((x + w / 2)) $((y + h / 2)))
[ "$inside" != "$desktop" ] || fail "the window's middle looks like the desktop ($inside)"
for corner in "$x $y" "$((x + w - 1)) $y" "$x $((y + h - 1))" "$((x + w - 1)) $((y + h - 1))"; do
  c=$(pixel "$shot" $corner)
  [ "$c" = "$desktop" ] || fail "corner ($corner) is $c, not the desktop's $desktop: corners not rounded"
done
for near in "$((x + 8)) $((y + 8))" "$((x + w - 9)) $((y + h - 9))" "$((x + w / 2)) $y" "$x $((y + h / 2))"; do
  c=$(pixel "$shot" $near)
  [ "$c" != "$desktop" ] || fail "($near) shows the desktop: too much cut away"
done

# A press on the background and a move of the mouse drags the window along.
xdotool mousemove $((x + 400)) $((y + 300)) mousedown 1
for step in 1 2 3 4 5 6 7 8 9 10; do
  xdotool mousemove $((x + 400 + 6 * step)) $((y + 300 + 4 * step))
  sleep 0.05
done
xdotool mouseup 1
sleep 0.5
read -r nx ny _ _ < <(window_geometry "$win")
[ "$nx" = $((x + 60)) ] && [ "$ny" = $((y + 40)) ] ||
  fail "dragging the background by (60, 40) moved the window from ($x, $y) to ($nx, $ny)"


# The Close button ends the program.
close_by_button "$nx" "$ny"

echo "PASS: main window 792x442, centred, rounded, dragged by its background, closed by Close"
