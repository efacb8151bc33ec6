#!/usr/bin/env bash
# The demo's flow with the keyboard alone, as a person who cannot use a
# mouse runs it: the signature update (Tab to the Virus Database page, Enter,
# Tab to "Check Now", Enter, Enter on Close once it is in), a full scan
# (arrows back to the Scan page, Tab to Full Scan, Enter) and the removal
# (Enter on Remove, Enter on OK), with Debian's freshclam and clamscan
# behind their bridges. No mouse event is sent at all; the keys go to
# whichever of the program's windows is active, as typed keys do.
# Usage: keyboard_test.sh REPO_ROOT WORK_DIR ARTIFACT_DIR
set -euo pipefail
repo_root=$1
work=$2
artifacts=$3
source "$repo_root/tests/e2e/lib.sh"
source "$repo_root/tests/e2e/demo_lib.sh"
source "$repo_root/scripts/wine-session.sh"
trap end_demo EXIT

prepare_demo "$work"
out="$artifacts/keyboard"
mkdir -p "$out"

# Keys as typed: through the X server to the window that has the input
# focus, one after another.
press() {
  xdotool key --delay 120 "$@"
  sleep 0.6
}

# Waits until the window is no longer shown.
wait_gone() {
  local win=$1 seconds=$2
  for _ in $(seq $((seconds * 4))); do
    xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$win" || return 0
    sleep 0.25
  done
  return 1
}

start_demo_program
win=$demo_window
[ -n "$win" ] || fail "the main window did not appear"
# The splash gives way to the main window, which takes the activation and
# puts the focus on its first button (Scan).
sleep 3
shoot "$win" "$out/0_start.png"

# The update: Scan -> Results -> History -> Virus Database, open the page,
# then on to "Check Now for updates".
press Tab Tab Tab Return
press Tab Return
download=$(wait_for_window "^Virus Database Update\$" 10) || fail "Enter on Check Now opened no download window"
for _ in $(seq 240); do
  [ "$(registry_int sysdata 788)" = 1 ] && break
  notice=$(xdotool search --onlyvisible --name "^Download Failed\$" 2>/dev/null | head -n 1 || true)
  [ -z "$notice" ] || { shoot "$notice" "$out/1_update_failed.png"; fail "the update failed"; }
  sleep 0.5
done
[ "$(registry_int sysdata 788)" = 1 ] || fail "the update did not finish"
sleep 1
shoot "$download" "$out/1_updated.png"
# Close is the window's default button: Enter closes it once the run is in.
press Return
wait_gone "$download" 10 || fail "Enter did not close the download window"

# Back in the main window the focus is where it was (Check Now): Shift+Tab
# to the page buttons, the arrows along them to Scan, Enter; then Tab past
# the page buttons to Full Scan and Enter.
press shift+Tab Left Left Left Return
shoot "$win" "$out/2_scan_page.png"
press Tab Tab Tab Tab
shoot "$win" "$out/3_full_scan_focused.png"
press Return
sleep 2
shoot "$win" "$out/4_scanning.png"

prompt=$(wait_for_window "^Infections Found\$" 600) || fail "the scan found nothing"
sleep 1
shoot "$prompt" "$out/5_infections_found.png"
# Remove is the prompt's default button.
press Return
wait_gone "$prompt" 10 || fail "Enter did not press Remove"
done_window=$(wait_for_window "^Removal Complete\$" 60) || fail "the removal did not finish"
sleep 1
shoot "$done_window" "$out/6_removal_done.png"
press Return
wait_gone "$done_window" 10 || fail "Enter did not close the removal's result"
shoot "$win" "$out/7_after.png"

found=$(history_int 60)
removed=$(history_int 28)
echo "keyboard flow: $found found, $removed removed"
[ "$found" = 3 ] || fail "infections found $found, expected 3"
[ "$removed" = 3 ] || fail "infections removed $removed, expected 3"
[ ! -e "$work/data/eicar.com" ] && [ ! -e "$work/data/samples/downloads/eicar.com" ] ||
  fail "an infected file is still where it was found"
ls "$(data_folder)/virus_vault/" | grep -q 'eicar.com$' || fail "no copy of an EICAR file in the vault"
echo "PASS: update, full scan and removal with the keyboard alone"
