#!/usr/bin/env bash
# The setup and its uninstaller in a fresh Wine prefix of their own, as a
# Windows user meets them:
# - a silent install puts the program, its skin and the uninstaller in the
#   program files folder, a Start-menu shortcut, an uninstall entry with the
#   program's own version, and the data folder with its database folder and
#   the vault already closed to everyone but the Administrators and SYSTEM
#   before the program first starts;
# - the program starts from there and, without ClamAV, says where to get it;
# - an install over an older one keeps the vault's records and copies, the
#   scan history and the settings, closes the data folder again where the
#   older one left it open, and copies an installed ClamAV it finds;
# - the install registers the logon task that starts the program into the
#   tray (Wine keeps tasks as files, with the settings it understood);
# - the install registers Explorer's "Scan with Tolvar AntiVirus" for files,
#   folders and drives, each starting TolvarScan.exe, which it installs;
# - a silent uninstall removes the program, its logon task and Explorer's
#   verbs and keeps all the data;
# - a setup built with ClamAV's folder carries its files into bin\snr\1\9\
#   of the folder chosen with /D=;
# - an uninstall answered "do not keep" removes the data too.
# - a program without administrator rights that took the program's name
#   first keeps neither the upgrade nor the upgraded program from starting.
# Usage: setup_test.sh REPO_ROOT WORK_DIR ARTIFACT_DIR SETUP CLAMAV_SETUP CLAMAV_DIR FOLDER_ACCESS
#        NAME_HOLDER
# (CLAMAV_SETUP was built with the stand-in ClamAV folder CLAMAV_DIR;
# FOLDER_ACCESS is the test tool that prints a folder's access list,
# NAME_HOLDER the one that holds a name as such a program can)
set -euo pipefail
repo_root=$1
work=$2
artifacts=$3
setup=$4
clamav_setup=$5
clamav_dir=$6
folder_access=$7
name_holder=$8
source "$repo_root/tests/e2e/lib.sh"
source "$repo_root/tests/e2e/setup_lib.sh"
source "$repo_root/scripts/wine-session.sh"
own_prefix=""
uninstaller_pid=""
holder_pid=""
cleanup() {
  stop_program
  [ -n "$holder_pid" ] && kill -- "-$holder_pid" 2>/dev/null || true
  [ -n "$uninstaller_pid" ] && kill -- "-$uninstaller_pid" 2>/dev/null || true
  [ -n "$own_prefix" ] && WINEPREFIX="$own_prefix" wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

[ -f "$setup" ] || fail "no setup at $setup"
[ -f "$clamav_setup" ] || fail "no setup with ClamAV at $clamav_setup"
mkdir -p "$work" "$artifacts/setup"
prepare_prefix "$work/wineprefix" fresh
own_prefix=$WINEPREFIX
drive_c="$WINEPREFIX/drive_c"
program="$drive_c/Program Files/Tolvar AntiVirus"
scanner="$program/bin/snr/1/9"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tolvar AntiVirus.lnk"
data="$drive_c/users/$(id -un)/AppData/Roaming/Mirebrook"
vault="$data/virus_vault"
settings_key='HKLM\Software\Mirebrook\AntiVirus'

# The whole of a binary value of the program's key, in hex ("" for none).
registry_hex() {
  wine reg query "$settings_key\\$1" /ve /reg:32 2>/dev/null | tr -d '\r' |
    sed -n 's/.*REG_BINARY[[:space:]]*//p'
}

# --- A silent install into a fresh prefix.
run_setup "$setup" /S || fail "the silent install ended with code $?"
[ -f "$program/AntiVirus.exe" ] || fail "AntiVirus.exe is not in $program"
[ -f "$program/uninstall.exe" ] || fail "the uninstaller is not in $program"
skins=$(ls "$repo_root/res/skin"/*.png | wc -l)
[ "$(ls "$program/bin/skin"/*.png | wc -l)" = "$skins" ] || fail "the skin is not all in $program/bin/skin"
[ -d "$scanner" ] || fail "no scanner folder bin\\snr\\1\\9"
[ -z "$(ls -A "$scanner")" ] || fail "a setup without ClamAV put files into bin\\snr\\1\\9: $(ls "$scanner")"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
grep -qa 'AntiVirus.exe' "$shortcut" || fail "the shortcut does not point at AntiVirus.exe"

version=$(file_version "$program/AntiVirus.exe")
echo "installed version $version; setup $(stat -c %s "$setup") bytes"
[ "$(uninstall_value DisplayVersion)" = "${version%.0}" ] ||
  fail "the uninstall entry says version '$(uninstall_value DisplayVersion)', the program is $version"
[[ "$setup" == *"-${version%.0}-Setup.exe" ]] || fail "the setup's name does not carry version ${version%.0}"
[ "$(uninstall_value DisplayName)" = "Tolvar AntiVirus" ] || fail "DisplayName '$(uninstall_value DisplayName)'"
[ "$(uninstall_value Publisher)" = "Mirebrook" ] || fail "Publisher '$(uninstall_value Publisher)'"
[ "$(uninstall_value DisplayIcon)" = 'C:\Program Files\Tolvar AntiVirus\AntiVirus.exe,0' ] ||
  fail "DisplayIcon '$(uninstall_value DisplayIcon)'"
[ "$(uninstall_value UninstallString)" = '"C:\Program Files\Tolvar AntiVirus\uninstall.exe"' ] ||
  fail "UninstallString '$(uninstall_value UninstallString)'"
[ "$(uninstall_value QuietUninstallString)" = '"C:\Program Files\Tolvar AntiVirus\uninstall.exe" /S' ] ||
  fail "QuietUninstallString '$(uninstall_value QuietUninstallString)'"
size=$(uninstall_value EstimatedSize)
[ -n "$size" ] && (( size > 0 )) || fail "EstimatedSize '$size'"

# The logon task, as Task Scheduler stored it ("" when there is none).
logon_task() {
  local file
  file=$(find "$drive_c/windows/system32" -maxdepth 2 -ipath '*/tasks/Tolvar AntiVirus' 2>/dev/null | head -n 1)
  [ -n "$file" ] || return 0
  if [ "$(head -c 2 "$file" | od -An -tx1 | tr -d ' ')" = fffe ]; then
    iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r'
  else
    tr -d '\r' <"$file"
  fi
}
task=$(logon_task)
[ -n "$task" ] || fail "the install registered no logon task"
echo "$task" >"$artifacts/setup/logon_task.xml"
# Wine 8 writes a registered task anew from what it understood and leaves
# out the trigger, the principal and the command (a task never fires
# there); the settings it keeps are the setup's own, each unlike Task
# Scheduler's default, so the definition was read whole, in UTF-16.
for part in '<StartWhenAvailable>true</StartWhenAvailable>' \
  '<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>' \
  '<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>' '<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>'; do
  grep -qF "$part" <<<"$task" || fail "the logon task lacks $part: $task"
done

# Explorer's verbs: their words, and the helper's command line ("" when a
# verb is missing).
verb_value() {
  wine reg query "HKCR\\$1\\shell\\TolvarAntiVirus.Scan${2:-}" /ve 2>/dev/null |
    sed -n 's/.*REG_SZ[[:space:]]*//p' | tr -d '\r'
}
[ -f "$program/TolvarScan.exe" ] || fail "the setup did not install TolvarScan.exe"
for class in '*' Directory Drive; do
  [ "$(verb_value "$class")" = "Scan with Tolvar AntiVirus" ] ||
    fail "no verb \"Scan with Tolvar AntiVirus\" for $class: '$(verb_value "$class")'"
done
helper='"C:\Program Files\Tolvar AntiVirus\TolvarScan.exe" /scan'
[ "$(verb_value '*' '\command')" = "$helper \"%1\"" ] || fail "the files' verb runs '$(verb_value '*' '\command')'"
[ "$(verb_value Directory '\command')" = "$helper \"%1\"" ] ||
  fail "the folders' verb runs '$(verb_value Directory '\command')'"
# A drive's "C:\" unquoted: in quotes its backslash would escape the quote.
[ "$(verb_value Drive '\command')" = "$helper %1" ] || fail "the drives' verb runs '$(verb_value Drive '\command')'"

# The data folders and the vault, each closed to others before the program
# ever ran.
[ -d "$data/db" ] || fail "the setup made no database folder"
[ -d "$vault" ] || fail "the setup made no vault"
windows_data='C:\users\'"$(id -un)"'\AppData\Roaming\Mirebrook'
access_list() {
  wine "$folder_access" "$1" | tr -d '\r'
}
vault_list=$(access_list "$windows_data\virus_vault") || fail "the vault's access list cannot be read"
data_list=$(access_list "$windows_data") || fail "the data folder's access list cannot be read"
db_list=$(access_list "$windows_data\db") || fail "the database folder's access list cannot be read"
roaming_list=$(access_list 'C:\users\'"$(id -un)"'\AppData\Roaming')
echo "vault: $vault_list"
echo "data:  $data_list"
echo "db:    $db_list"
# Only the Administrators, SYSTEM and the owner are let in (Wine reports
# the user it runs as as the owner of every file); the application data
# folder above them, made as folders are, lets everyone read.
only_writers "$vault_list" || fail "the vault is open to others: $vault_list"
only_writers "$data_list" || fail "the data folder is open to others: $data_list"
only_writers "$db_list" || fail "the database folder is open to others: $db_list"
! only_writers "$roaming_list" || fail "the check cannot tell an open folder: $roaming_list"

# --- The program starts from the installed path and, with no ClamAV there,
# says where to get it.
start_program wine 'C:\Program Files\Tolvar AntiVirus\AntiVirus.exe'
wait_for_main_window 60 >/dev/null || fail "the installed program's main window did not appear"
notice=$(wait_for_window "^ClamAV Needed\$" 30) || fail "the first start without ClamAV said nothing"
import -window root "$artifacts/setup/1_clamav_needed.png"
# Neither the setup nor the uninstaller goes on while the program runs: it
# holds its files open and writes its data back from memory.
touch -d '2001-01-01' "$program/AntiVirus.exe"
code=0
run_setup "$setup" /S || code=$?
[ "$code" = 5 ] || fail "the setup over the running program ended with code $code, not 5"
[ "$(stat -c %Y "$program/AntiVirus.exe")" = "$(date -d 2001-01-01 +%s)" ] ||
  fail "the setup replaced the running program's file"
run_setup "$program/uninstall.exe" /S || true
# The uninstaller goes on in a copy of its own; wait for that copy to end.
for _ in $(seq 60); do
  pgrep -f 'Un_A\.exe' >/dev/null || break
  sleep 0.5
done
[ -f "$program/AntiVirus.exe" ] && [ -n "$(uninstall_value DisplayName)" ] ||
  fail "the uninstaller removed the running program"
stop_program

# --- An upgrade over an older install, with ClamAV installed on the
# computer: the data stay, the scanner is copied in.
python3 - "$vault" <<'PY'
import sys
record = bytearray(563)
path = r'D:\downloads\kept.com'.encode()
record[256] = len(path)
record[257:257 + len(path)] = path
name = b'Eicar-Test-Signature '
record[512] = len(name)
record[513:513 + len(name)] = name
open(sys.argv[1] + '/records.gav', 'wb').write(record)
open(sys.argv[1] + '/0001kept.com', 'wb').write(b'a vaulted copy')
PY
history=$(python3 -c 'print(bytes(range(1, 65)).hex())')
wine reg add "$settings_key\\lsd" /ve /t REG_BINARY /d "$history" /reg:32 /f >/dev/null 2>&1
quiet_update_check
sysdata=$(registry_hex sysdata)
[ -n "$sysdata" ] || fail "no settings stored"
cp "$vault/records.gav" "$work/records.before"
wine reg add "$uninstall_key" /v DisplayVersion /d 0.9.0 /reg:64 /f >/dev/null 2>&1
installed_clamav="$drive_c/Program Files/ClamAV"
mkdir -p "$installed_clamav/certs"
for f in clamscan.exe freshclam.exe libclamav.dll certs/clamav.crt; do
  echo "installed ClamAV's $f" >"$installed_clamav/$f"
done
echo "not ClamAV's scanner" >"$installed_clamav/clamd.exe"
# A stranger holds the program's global name, with an access list that lets
# nobody in: it is not a running copy of the program.
setsid wine "$name_holder" deny 'Global\Mirebrook.TolvarAntiVirus.Running' \
  >"$work/name_holder.out" 2>&1 </dev/null &
holder_pid=$!
for _ in $(seq 100); do
  grep -q held "$work/name_holder.out" 2>/dev/null && break
  sleep 0.2
done
grep -q held "$work/name_holder.out" || fail "the stranger could not take the program's name"

# The older install left its data folder and database folder open to
# everyone.
chmod 0777 "$data" "$data/db"
! closed_to_others "$(access_list "$windows_data")" || fail "the test could not open the data folder"
run_setup "$setup" /S || fail "the upgrade ended with code $?"
closed_to_others "$(access_list "$windows_data")" ||
  fail "the upgrade left the data folder open: $(access_list "$windows_data")"
closed_to_others "$(access_list "$windows_data\db")" ||
  fail "the upgrade left the database folder open: $(access_list "$windows_data\db")"
[ "$(uninstall_value DisplayVersion)" = "${version%.0}" ] || fail "the upgrade left version '$(uninstall_value DisplayVersion)'"
cmp -s "$vault/records.gav" "$work/records.before" || fail "the upgrade changed the vault's records"
[ "$(cat "$vault/0001kept.com")" = "a vaulted copy" ] || fail "the upgrade lost the vaulted copy"
[ "$(registry_hex lsd)" = "${history^^}" ] || fail "the upgrade changed the scan history"
[ "$(registry_hex sysdata)" = "$sysdata" ] || fail "the upgrade changed the settings"
for f in clamscan.exe freshclam.exe libclamav.dll certs/clamav.crt; do
  cmp -s "$scanner/$f" "$installed_clamav/$f" || fail "the installed ClamAV's $f was not copied"
done
[ ! -e "$scanner/clamd.exe" ] || fail "the setup copied more than the scanner and the updater"

# The upgraded program starts with its scanner in place.
start_program wine 'C:\Program Files\Tolvar AntiVirus\AntiVirus.exe'
wait_for_main_window 60 >/dev/null || fail "the upgraded program's main window did not appear"
sleep 2
! wait_for_window "^ClamAV Needed\$" 1 >/dev/null || fail "the program asks for ClamAV, which is in place"
stop_program
kill -- "-$holder_pid" 2>/dev/null || true
wait "$holder_pid" 2>/dev/null || true
holder_pid=""
cmp -s "$vault/records.gav" "$work/records.before" || fail "the upgraded program changed the vault's records"
rm -rf "$installed_clamav"

# --- A silent uninstall removes the program and keeps the data.
run_setup "$program/uninstall.exe" /S || fail "the silent uninstall ended with code $?"
wait_uninstalled "$program" 60 || fail "the silent uninstall did not finish"
[ ! -e "$shortcut" ] || fail "the silent uninstall left the shortcut"
[ -z "$(logon_task)" ] || fail "the silent uninstall left the logon task"
for class in '*' Directory Drive; do
  [ -z "$(verb_value "$class")" ] || fail "the silent uninstall left Explorer's verb for $class"
done
[ ! -e "$program/TolvarScan.exe" ] || fail "the silent uninstall left TolvarScan.exe"
cmp -s "$vault/records.gav" "$work/records.before" || fail "the silent uninstall changed the vault's records"
[ -f "$vault/0001kept.com" ] || fail "the silent uninstall deleted a vaulted file"
[ "$(registry_hex lsd)" = "${history^^}" ] || fail "the silent uninstall deleted the scan history"
[ "$(registry_hex sysdata)" = "$sysdata" ] || fail "the silent uninstall deleted the settings"

# --- The setup built with ClamAV's folder carries it whole into
# bin\snr\1\9\ of a folder the user chose; an install after an uninstall
# finds the kept data.
run_setup "$clamav_setup" /S '/D=C:\Apps\Tolvar' || fail "the install with ClamAV ended with code $?"
[ ! -e "$program" ] || fail "the setup installed into $program, not the folder chosen"
program="$drive_c/Apps/Tolvar"
scanner="$program/bin/snr/1/9"
[ -f "$program/AntiVirus.exe" ] || fail "the program is not in the folder chosen"
[ "$(uninstall_value QuietUninstallString)" = '"C:\Apps\Tolvar\uninstall.exe" /S' ] ||
  fail "QuietUninstallString '$(uninstall_value QuietUninstallString)' after an install into C:\Apps\Tolvar"
mapfile -t carried < <(cd "$clamav_dir" && find . -type f)
[ "${#carried[@]}" -ge 4 ] || fail "the stand-in ClamAV folder $clamav_dir is not complete"
for f in "${carried[@]}"; do
  cmp -s "$clamav_dir/$f" "$scanner/$f" || fail "ClamAV's $f is not in bin\\snr\\1\\9"
done
cmp -s "$vault/records.gav" "$work/records.before" || fail "the install after an uninstall changed the vault"

# An upgrade goes where the earlier install is, and a setup without ClamAV
# leaves the scanner it finds there.
run_setup "$setup" /S || fail "the upgrade of the install in C:\Apps\Tolvar ended with code $?"
[ ! -e "$drive_c/Program Files/Tolvar AntiVirus" ] || fail "the upgrade installed a second copy"
for f in "${carried[@]}"; do
  cmp -s "$clamav_dir/$f" "$scanner/$f" || fail "the upgrade changed ClamAV's $f"
done

# --- An uninstall answered "do not keep" removes the data too, from where
# the program keeps them: here the folder the user moved them to (stored,
# without its closing backslash, as "appdatapath"), which also holds a file
# of the user's own. The default folder is then not the program's and stays.
default_data=$data
data="$drive_c/Mirebrook/Data"
vault="$data/virus_vault"
mkdir -p "$drive_c/Mirebrook"
mv "$default_data" "$data"
echo "the user's own notes" >"$data/notes.txt"
mkdir -p "$default_data/virus_vault"
echo "not the program's" >"$default_data/virus_vault/other.txt"
wine reg add "$settings_key\\appdatapath" /ve /d 'C:\Mirebrook\Data' /reg:32 /f >/dev/null 2>&1
# The confirmation page, then No to "Keep the quarantine vault and the
# history?".
setsid wine 'C:\Apps\Tolvar\uninstall.exe' </dev/null >/dev/null 2>&1 &
uninstaller_pid=$!
page=$(wait_for_window "^Tolvar AntiVirus Uninstall" 60) || fail "the uninstaller's window did not appear"
sleep 1
import -window root "$artifacts/setup/2_uninstall_confirm.png"
xdotool windowactivate --sync "$page" key Return 2>/dev/null || xdotool key Return
question=""
for _ in $(seq 80); do
  question=$(xdotool search --onlyvisible --name "^Tolvar AntiVirus Uninstall" 2>/dev/null | grep -vx "$page" |
    head -n 1 || true)
  [ -n "$question" ] && break
  sleep 0.25
done
[ -n "$question" ] || fail "the uninstaller did not ask about the vault"
sleep 0.5
import -window root "$artifacts/setup/3_keep_vault_question.png"
[ -f "$vault/0001kept.com" ] || fail "the uninstaller deleted the vault before the answer"
xdotool windowactivate --sync "$question" key n 2>/dev/null || xdotool key n
for _ in $(seq 120); do
  [ -z "$(uninstall_value DisplayName)" ] && break
  sleep 0.5
done
[ -z "$(uninstall_value DisplayName)" ] || fail "the uninstaller did not finish"
sleep 1
import -window root "$artifacts/setup/4_uninstalled.png"
xdotool windowactivate --sync "$page" key Return 2>/dev/null || xdotool key Return
wait_uninstalled "$program" 60 || fail "the uninstaller did not end"
uninstaller_pid=""
[ ! -e "$vault" ] || fail "the vault is still there: $(ls "$vault")"
[ ! -e "$data/db" ] || fail "the database folder is still there"
[ -z "$(registry_hex lsd)" ] || fail "the scan history is still there"
[ -z "$(registry_hex sysdata)" ] || fail "the settings are still there"
[ "$(cat "$data/notes.txt")" = "the user's own notes" ] || fail "the uninstaller deleted the user's own file"
[ -f "$default_data/virus_vault/other.txt" ] || fail "the uninstaller deleted a folder the program no longer uses"
echo "PASS: install, start, upgrade, silent uninstall, ClamAV carried, uninstall with removal"
