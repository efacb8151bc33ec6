#!/usr/bin/env bash
# A database update from a private mirror as the user does it, against the
# test mirror: the first start offers the update (declined here), then
# "Check Now for updates" on the Virus Database page downloads the full and
# the daily database, installs them, and the page shows the new figures once
# it is shown again.
# Usage (inside with_test_mirror.sh): update_test.sh WINE_RUN PROGRAM_DIR ARTIFACT_DIR
set -euo pipefail
wine_run=$1
program_dir=$2
artifacts=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
mkdir -p "$artifacts"

mirror_root=${TOLVAR_TEST_MIRROR_ROOT#Z:}
mirror_root=${mirror_root//\\//}
bash "$here/../../tools/test_mirror/make_database.sh" "$mirror_root/files/main.cvd" main 27 60000
bash "$here/../../tools/test_mirror/make_database.sh" "$mirror_root/files/daily.cvd" daily 28 6000
echo good >"$mirror_root/mode"

# A first start: no settings stored, so the update is due.
wine reg delete 'HKLM\Software\Mirebrook\AntiVirus\sysdata' /f /reg:32 >/dev/null 2>&1 || true
wine reg add 'HKLM\Software\Mirebrook\AntiVirus\mirror' /ve /d "$TOLVAR_TEST_MIRROR" /reg:32 /f \
  >/dev/null 2>&1
db="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Mirebrook/db"
mkdir -p "$db"
echo "the old live database" >"$db/main.cvd"
# The run is followed by the daily database's arrival: none may be there
# before it (a run of this test before, in a prefix kept).
rm -f "$db/daily.cvd" "$db/daily.cld"

cleanup() {
  stop_program
  wine reg delete 'HKLM\Software\Mirebrook\AntiVirus\mirror' /f /reg:32 >/dev/null 2>&1 || true
}
start_program "$wine_run" "$program_dir/AntiVirus.exe"
trap cleanup EXIT
win=$(wait_for_main_window 60) || fail "the main window did not appear"
read -r x y _ _ < <(window_geometry "$win")

# The scheduled check offers the update a few seconds after start.
prompt=$(wait_for_window "^Update Available\$" 30) || fail "no update prompt after start"
import -window root "$artifacts/update_prompt.png"
click_until_gone "$prompt" $((189 + 52)) $((186 + 16)) || fail "the prompt did not close"
# The program folder holds no scanner, and a first start without one says
# where to get ClamAV; its message holds the main window until answered.
notice=$(wait_for_window "^ClamAV Needed\$" 10) || fail "a first start without the scanner said nothing"
xdotool windowactivate --sync "$notice" key Return 2>/dev/null || xdotool key Return
for _ in $(seq 20); do
  xdotool search --onlyvisible --name "^ClamAV Needed\$" >/dev/null 2>&1 || break
  sleep 0.25
done

# The Virus Database page before the download.
figures() {
  import -window root -crop "340x48+$((x + 178 + 130))+$((y + 47 + 66))" +repage "$1"
}
xdotool mousemove $((x + 5 + 86)) $((y + 336 + 48)) click 1
sleep 1
figures "$artifacts/update_figures_before.png"

# Check Now for updates.
xdotool mousemove $((x + 178 + 488 + 52)) $((y + 47 + 64 + 12)) click 1
download=$(wait_for_window "^Virus Database Update\$" 20) || fail "no download window"
# The run is complete when the bytes are in place.
for _ in $(seq 60); do
  [ "$(head -c 11 "$db/daily.cvd" 2>/dev/null)" = "ClamAV-VDB:" ] && break
  sleep 0.5
done
cmp -s "$db/main.cvd" "$mirror_root/files/main.cvd" || fail "the new full database was not installed"
cmp -s "$db/daily.cvd" "$mirror_root/files/daily.cvd" || fail "the new daily database was not installed"
[ -z "$(ls "$db" | grep -e '^tdl' -e '2\.cvd$')" ] || fail "download files were left behind: $(ls "$db")"
sleep 0.5
import -window root "$artifacts/update_done.png"
click_until_gone "$download" $((72 + 52)) $((186 + 16)) ||
  fail "Close did not close the download window"

# The figures change only when the page is shown again.
figures "$artifacts/update_figures_still.png"
[ "$(compare -metric AE "$artifacts/update_figures_before.png" "$artifacts/update_figures_still.png" null: 2>&1 || true)" = 0 ] ||
  fail "the page changed its figures while on screen"
xdotool mousemove $((x + 15 + 81)) $((y + 248 + 44)) click 1
sleep 0.7
xdotool mousemove $((x + 5 + 86)) $((y + 336 + 48)) click 1
sleep 1
figures "$artifacts/update_figures_after.png"
[ "$(compare -metric AE "$artifacts/update_figures_before.png" "$artifacts/update_figures_after.png" null: 2>&1 || true)" != 0 ] ||
  fail "the page shows the old figures after the update"

[ "$(registry_int sysdata 788)" = 1 ] || fail "Total Updates is $(registry_int sysdata 788), not 1"
size=$(($(stat -c %s "$mirror_root/files/main.cvd") + $(stat -c %s "$mirror_root/files/daily.cvd")))
[ "$(registry_int sysdata 800)" = "$size" ] || fail "Update Size is $(registry_int sysdata 800), not $size"
echo "PASS: prompt declined, Check Now installed both databases, the page shows the new figures"
