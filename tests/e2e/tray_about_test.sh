#!/usr/bin/env bash
# "Minimize to System Tray" takes the main window off the screen and a press
# on the tray icon brings it back, as does a second start of the program,
# which then ends; the About window opens from the footer
# button and from the command menu, and closes by its close button and by
# Escape. With real-time protection on, Close keeps the program in the tray
# and the menu's Exit ends it; a start with /tray shows no window, only the
# icon, which brings the window. A screenshot of the About window is kept as
# an artifact.
# Usage: tray_about_test.sh WINE_RUN PROGRAM_DIR ARTIFACT_DIR
set -euo pipefail
wine_run=$1
program_dir=$2
artifacts=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

mkdir -p "$artifacts"
quiet_update_check
store_realtime on
start_program "$wine_run" "$program_dir/AntiVirus.exe"
trap stop_program EXIT
win=$(wait_for_main_window 60) || fail "the main window did not appear"
sleep 1
read -r x y _ _ < <(window_geometry "$win")

# Opens the command menu with a right click on the top bar and chooses an
# item with the arrow keys: KEY pressed COUNT times from no selection.
# The tray icon stays up beside the window while real-time protection is on,
# and Wine, with no window manager here, leaves the keyboard with the tray's
# window after a press on the icon: the keys go to the main window's menu
# only once it has the keyboard again.
choose_from_menu() {
  local key=$1 count=$2
  xdotool windowfocus "$win" 2>/dev/null || true
  sleep 0.5
  xdotool mousemove $((x + 400)) $((y + 25)) click 3
  sleep 0.7
  for _ in $(seq "$count"); do
    xdotool key "$key"
    sleep 0.1
  done
  xdotool key Return
}

main_window_visible() {
  xdotool search --onlyvisible --name "^Tolvar AntiVirus\$" >/dev/null 2>&1
}

# Waits up to the given seconds for a condition (a command) to hold.
wait_until() {
  local seconds=$1
  shift
  for _ in $(seq $((seconds * 4))); do
    "$@" && return 0
    sleep 0.25
  done
  return 1
}

# --- Tray. Items: Start Scan, Virus Database, Virus Database Updates, Virus
# Database Settings, Protection Settings, Real-time Protection, Minimize to
# System Tray (the seventh), About (the last but one), Exit (the last).
choose_from_menu Down 7
main_window_gone() { ! main_window_visible; }
wait_until 5 main_window_gone || fail "the main window is still showing after Minimize to System Tray"

# Without a notification area of the desktop's own, Wine shows the icons in
# a window of its own; the press goes to the program's icon there.
tray=$(wait_for_window "^Wine System Tray\$" 10) || fail "no tray icon appeared"
read -r tx ty _ th < <(window_geometry "$tray")
import -window root -crop "200x60+$tx+$ty" +repage "$artifacts/tray_icon.png"
xdotool mousemove $((tx + 12)) $((ty + th - 13)) click 1
win=$(wait_for_main_window 10) || fail "a press on the tray icon did not bring the main window back"
read -r x y _ _ < <(window_geometry "$win")
echo "back from the tray at ($x, $y)"

# --- A second start ends at once and brings the running copy back from the
# tray: two copies would overwrite each other's vault records and settings.
choose_from_menu Down 7
wait_until 5 main_window_gone || fail "the main window is still showing after Minimize to System Tray"
timeout 60 "$wine_run" "$program_dir/AntiVirus.exe" >/dev/null 2>&1 ||
  fail "the second start did not end by itself with success"
win=$(wait_for_main_window 10) || fail "a second start did not bring the running copy back"
main_windows=0
for id in $(xdotool search --onlyvisible --name "^Tolvar AntiVirus\$" 2>/dev/null || true); do
  read -r _ _ mw mh < <(window_geometry "$id")
  [ "$mw" = 792 ] && [ "$mh" = 442 ] && main_windows=$((main_windows + 1))
done
[ "$main_windows" = 1 ] || fail "$main_windows main windows after a second start, expected 1"
read -r x y _ _ < <(window_geometry "$win")
echo "a second start brought the window back at ($x, $y) and ended"

# --- About, from the footer button (Image7, 217 x 49 at (416, 320) of the
# page at (178, 47); the window shows its left 198 pixels).
xdotool mousemove $((x + 178 + 416 + 100)) $((y + 47 + 320 + 24)) click 1
about=$(wait_for_window "^About\$" 10) || fail "the footer button did not open the About window"
sleep 0.5
read -r ax ay aw ah < <(window_geometry "$about")
[ "$aw" = 658 ] && [ "$ah" = 530 ] || fail "the About window is $aw by $ah, expected 658 by 530"
import -window root -crop "${aw}x${ah}+${ax}+${ay}" +repage "$artifacts/about_window.png"
echo "About window: $artifacts/about_window.png"
# The close button drawn at (568, 496), 89 by 25.
xdotool mousemove $((ax + 600)) $((ay + 505)) click 1
about_gone() { ! xdotool search --onlyvisible --name "^About\$" >/dev/null 2>&1; }
wait_until 5 about_gone || fail "the close button did not close the About window"

# --- About, from the menu; Escape closes it while the window has the focus.
choose_from_menu Up 2
wait_for_window "^About\$" 10 >/dev/null || fail "the menu did not open the About window"
sleep 0.5
xdotool key Escape
wait_until 5 about_gone || fail "Escape did not close the About window"
main_window_visible || fail "the main window went away with the About window"

# --- With real-time protection on, Close leaves the program running in the
# tray; the icon brings the window back, and Exit ends the program.
xdotool mousemove $((x + 757 + 9)) $((y + 16 + 9)) click 1
wait_until 5 main_window_gone || fail "Close did not take the window to the tray"
sleep 1
kill -0 "$program_pid" 2>/dev/null || fail "Close ended the program with real-time protection on"
tray=$(wait_for_window "^Wine System Tray\$" 10) || fail "no tray icon after Close"
read -r tx ty _ th < <(window_geometry "$tray")
xdotool mousemove $((tx + 12)) $((ty + th - 13)) click 1
win=$(wait_for_main_window 10) || fail "the tray icon did not bring the window back after Close"
read -r x y _ _ < <(window_geometry "$win")
choose_from_menu Up 1
program_ended() { ! kill -0 "$program_pid" 2>/dev/null; }
wait_until 20 program_ended || fail "Exit did not end the program"
program_pid=""

# --- A start with /tray shows neither the splash nor the main window, only
# the icon.
start_program "$wine_run" "$program_dir/AntiVirus.exe" /tray
tray=$(wait_for_window "^Wine System Tray\$" 60) || fail "a start with /tray put up no tray icon"
sleep 3
! main_window_visible || fail "a start with /tray showed the main window"
! xdotool search --onlyvisible --name "^Tolvar Antivirus\$" >/dev/null 2>&1 ||
  fail "a start with /tray showed a window (the splash?)"
read -r tx ty _ th < <(window_geometry "$tray")
xdotool mousemove $((tx + 12)) $((ty + th - 13)) click 1
wait_for_main_window 10 >/dev/null || fail "the tray icon of a /tray start did not bring the window"

echo "PASS: back from the tray, by its icon and by a second start; About from the footer and the menu, closed by its button and Escape; Close to the tray and Exit with real-time protection; a start with /tray"
