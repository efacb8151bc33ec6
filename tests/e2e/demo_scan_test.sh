#!/usr/bin/env bash
# The demo's whole flow with Debian's freshclam and clamscan behind their
# bridges: from an empty database folder the program fetches ClamAV's signed
# test databases through the updater from the local test mirror (with its
# configuration, the data folder and the database folder closed to others);
# then, as on a PC's second day, the daily database is the daily.cld Debian's
# freshclam patched (daily.cvd gone), and the program gives it to clamscan,
# whose full scan of C: and D: with it finds the EICAR file and its copies (one named
# in Latin, Cyrillic and CJK letters), the program records what clamscan
# reported, removes them into the vault, and the copy with the many-script
# name comes back from the vault byte for byte; and, in the default mode, a
# Stop in the middle of a large tree records a stopped scan and leaves no
# clamscan behind.
# Usage: demo_scan_test.sh REPO_ROOT WORK_DIR ARTIFACT_DIR [oem|utf8]
# (the bridge's mode: the report as clamscan.exe 1.4 or 1.5 writes it)
set -euo pipefail
repo_root=$1
work=$2
artifacts=$3
mode=${4:-oem}
if [ "$mode" = clamd ]; then
  # Through Debian's clamd (a service at the address the engine key names)
  # instead of clamscan.
  export TOLVAR_DEMO_ENGINE=clamd TOLVAR_BRIDGE_MODE=oem
else
  export TOLVAR_BRIDGE_MODE=$mode
fi
source "$repo_root/tests/e2e/lib.sh"
source "$repo_root/tests/e2e/demo_lib.sh"
source "$repo_root/scripts/wine-session.sh"
trap end_demo EXIT

if [ "$mode" = oem ]; then prepare_demo "$work" 20000; else prepare_demo "$work"; fi
export TOLVAR_BRIDGE_KEEP_REPORT="$work/report.txt"
rm -f "$work/report.txt" "$work/report.txt.args"

shots="$artifacts/demo"
[ "$mode" = oem ] || shots="$artifacts/demo-$mode"
run_headless_demo "$shots"

# The databases came through the updater, byte for byte what the mirror
# published (daily.cvd was checked before it gave way to daily.cld), and the
# run was counted once.
db_folder="$(data_folder)/db"
for name in main bytecode; do
  cmp -s "$db_folder/$name.cvd" "$work/mirror/files/$name.cvd" ||
    fail "$name.cvd was not installed from the mirror"
done
[ "$(registry_int sysdata 788)" = 1 ] || fail "Total Updates is $(registry_int sysdata 788), not 1"

# The updater ran with the program's rights: the configuration the program
# wrote for it, the data folder and the database folder are closed to
# others, as their access lists read back.
folder_access="$repo_root/build/win/tests/folder_access.exe"
windows_data='C:\users\'"$(id -un)"'\AppData\Roaming\Mirebrook'
for item in "$windows_data" "$windows_data\db" "$windows_data\freshclam.conf"; do
  list=$(wine "$folder_access" "$item" | tr -d '\r') || fail "the access list of $item cannot be read"
  closed_to_others "$list" || fail "$item is open to others: $list"
done

# The scan had the daily database freshclam patched: clamscan was given
# daily.cld (the bridge keeps its arguments), and no daily.cvd was there.
# Only daily.cld holds the EICAR signature, so the detections below come
# from it.
[ ! -e "$db_folder/daily.cvd" ] || fail "daily.cvd is still in the database folder"
cmp -s "$db_folder/daily.cld" "$repo_root/build/clamav-patched/test.cld" ||
  fail "the database folder holds no daily.cld as freshclam patched it"
items=$(history_int 24)
found=$(history_int 60)
removed=$(history_int 28)
engine=$(last_scan_engine)
echo "the scan's engine: $engine"
if [ "$mode" = clamd ]; then
  # No clamscan ran (the bridge would have kept its arguments), the program
  # recorded the daemon, and clamd's verdicts counted every file it answered.
  [ ! -e "$work/report.txt.args" ] || fail "clamscan ran although the scan went through clamd"
  [ "$engine" = "ClamAV 1.4.6 daemon" ] || fail "the program recorded the engine '$engine'"
  echo "the program recorded $items clean items, $found found, $removed removed"
  [ "$items" -gt 0 ] || fail "items scanned $items through clamd"
else
  databases=$(grep -- '^--database=' "$work/report.txt.args" | sed 's|.*/||' | tr '\n' ' ' || true)
  echo "clamscan was given: $databases"
  [ "$databases" = "main.cvd daily.cld bytecode.cvd " ] ||
    fail "clamscan was given the databases '$databases', not main.cvd, daily.cld and bytecode.cvd"
  # Under Wine the program's own clamd is never trusted (no listener's owner
  # is named): the scan went through clamscan.
  [ "$engine" = clamscan ] || fail "the program recorded the engine '$engine'"

  # What clamscan itself reported to the program: the bridge keeps a copy of
  # its raw report when asked.
  expected=$(grep -c ': OK$' "$work/report.txt" || true)
  echo "clamscan reported $expected clean items; the program recorded $items, $found found, $removed removed"
  [ "$items" = "$expected" ] || fail "items scanned $items, clamscan reported $expected clean items"
fi
# The EICAR file three times: the copy the signatures were made from, the
# one in the samples' downloads and the one with the many-script name.
[ "$found" = 3 ] || fail "infections found $found, expected 3"
[ "$removed" = 3 ] || fail "infections removed $removed, expected 3"

dump="$(data_folder)/db/list.gav"
[ "$(stat -c %s "$dump")" = 281500 ] || fail "db\\list.gav is not 281500 bytes"
named='D:\samples\Mirebrook Downloads\Rechnung März счёт 請求書.com'
paths=$(for k in 0 1 2; do dump_text "$dump" 256 $k; echo; done | LC_ALL=C sort | tr '\n' '|')
name=$(dump_text "$dump" 512 0)
echo "recorded infections: $paths ($name)"
[ "$paths" = "D:\eicar.com|$named|D:\samples\downloads\eicar.com|" ] ||
  fail "recorded paths '$paths'"
# The signed database's name as it is, with no ".UNOFFICIAL" of a set made
# here (the record keeps the blank that stood before "FOUND").
[ "$name" = "Eicar-Test-Signature " ] || fail "recorded detection name '$name'"
ls "$(data_folder)/virus_vault/" | grep -q 'eicar.com$' || fail "no copy of an EICAR file in the vault"
# The flow found the many-script name's record in the vault (its row of the
# vault list, screenshot 6) and restored it: its record and copy are gone.
[ -z "$(vault_row_of "${demo_named_file##*/}")" ] ||
  fail "the restored file's record is still in the vault"
! ls "$(data_folder)/virus_vault/" | grep -qF 'Rechnung' ||
  fail "the restored file's copy is still in the vault"

# The flow restored the record of the many-script name to where it was
# found; the other two stay removed.
restored="$work/data/$demo_named_file"
[ -e "$restored" ] || fail "the restore did not bring back $demo_named_file"
[ ! -e "$work/data/eicar.com" ] && [ ! -e "$work/data/samples/downloads/eicar.com" ] ||
  fail "a file that was not restored is back: it was never removed"
cmp -s "$restored" <(printf '%s' 'X5O!P%@AP[4\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*') ||
  fail "the restored $restored is not the EICAR file byte for byte"
echo "restored byte-identical: $restored"
explorer_line=$(explorer_scan_demo "$shots")
echo "explorer scan: $explorer_line"
[ "$explorer_line" = 'D:\explorer_demo: 2 items scanned, 1 infection(s) found' ] ||
  fail "the scan from Explorer's menu: $explorer_line"
if [ "$mode" = clamd ]; then
  realtime_line=$(realtime_demo "$shots")
  echo "real-time: $realtime_line"
fi
stop_program

if [ "$mode" != oem ]; then
  echo "PASS ($mode): the many-script name found, removed, listed and restored ($engine)"
  exit 0
fi

# A Stop in the middle of the large tree (D: holds 20000 more files).
unset TOLVAR_BRIDGE_KEEP_REPORT
scans_before=$(history_int 12)
start_demo_program
win=$demo_window
[ -n "$win" ] || fail "the main window did not appear again"
sleep 1
click_in "$win" $((178 + 8 + 90)) $((47 + 320 + 25))  # Full Scan
sleep 4
click_in "$win" $((178 + 16 + 3 * 118 + 50)) $((47 + 250 + 16))  # Stop
sleep 3
shoot "$win" "$artifacts/demo/8_stopped.png"
scans_after=$(history_int 12)
stopped_items=$(history_int 24)
echo "stopped scan: $stopped_items items of $expected"
[ "$scans_after" = $((scans_before + 1)) ] || fail "the stopped scan was not recorded once ($scans_before -> $scans_after)"
[ "$stopped_items" -lt "$expected" ] || fail "the scan ended before the Stop; the test proves nothing"
# Only this demo's clamscan counts (its arguments name this work folder):
# other runs on the machine may be scanning too.
left=$(pgrep -x -a clamscan | grep -cF -- "$work/" || true)
echo "clamscan processes after the stop: $left"
[ "$left" = 0 ] || fail "$left clamscan process(es) outlived the stop"
echo "PASS: real detection recorded and removed; stop leaves no clamscan"
