#!/usr/bin/env bash
# The demo. Installs what is missing, builds the program and its setup,
# installs the program with that setup (silently) into a Wine prefix of its
# own (build/run/) whose fixed drives are C: and a D: holding a sample
# folder with the EICAR test file, puts in the scanner bridge running
# Debian's clamscan, the freshclam bridge running Debian's freshclam and the
# clamd bridge running Debian's clamd as the stand-ins for ClamAV's Windows
# files, with an empty database folder
# and a local test mirror serving ClamAV's signed test databases, and starts
# it:
# - with DISPLAY set, on your display, for you to use (accept the update it
#   offers, or press "Check Now for updates", before you scan);
# - without DISPLAY, on a private Xvfb display, where it downloads its
#   database through ClamAV's updater, turns the database folder into a
#   PC's second day's (the daily database as Debian's freshclam patched it,
#   daily.cld, in place of daily.cvd), runs a full scan with it through
#   Debian's clamd behind the clamd bridge (TOLVAR_DEMO_ENGINE=clamscan for
#   clamscan), prints which engine scanned, removes
#   what was found, restores the file with a name in many scripts from the
#   vault, drops the EICAR file into the demo user's Downloads folder
#   (through clamd only) for real-time protection to quarantine, saves
#   screenshots to
#   build/run/screenshots/, prints the figures the program recorded and ends
#   the program.
set -euo pipefail
cd "$(dirname "$0")"
repo_root=$PWD
source scripts/build.sh
source scripts/wine-session.sh
source tests/e2e/lib.sh
source tests/e2e/demo_lib.sh
cleanup() {
  stop_program
  stop_demo_mirror
  stop_demo_clamd
  stop_session
}
trap cleanup EXIT

ensure_dependencies
echo "== building (Windows)"
build_windows

if [ -n "${DISPLAY:-}" ]; then
  prepare_demo "$PWD/build/run"
  echo "== starting Tolvar AntiVirus (samples on drive D:)"
  wine "C:\\Program Files\\Tolvar AntiVirus\\AntiVirus.exe"
  exit 0
fi

start_display
# Scans go through Debian's clamd (TOLVAR_DEMO_ENGINE=clamscan for clamscan).
export TOLVAR_DEMO_ENGINE=${TOLVAR_DEMO_ENGINE:-clamd}
prepare_demo "$PWD/build/run"
shots="$PWD/build/run/screenshots"
rm -rf "$shots"
echo "== updating the databases with Debian's freshclam, then, as on the next day, with"
echo "   the daily.cld freshclam patched in place of daily.cvd, scanning drives C: and D:"
if [ "$TOLVAR_DEMO_ENGINE" = clamd ]; then
  echo "   through Debian's clamd behind the clamd bridge, started as a ClamAV service on"
  echo "   this computer once the databases are in place"
else
  echo "   with Debian's clamscan (this takes a minute); the bridge writes its report"
  echo "   as clamscan.exe does in mode '$TOLVAR_BRIDGE_MODE'"
fi
run_headless_demo "$shots"
realtime_line=""
if [ "$TOLVAR_DEMO_ENGINE" = clamd ]; then
  echo "== real-time protection: the EICAR file downloaded into the demo user's Downloads"
  realtime_line=$(realtime_demo "$shots")
fi

dump="$(data_folder)/db/list.gav"
echo "== what the program recorded"
echo "updates:           $(registry_int sysdata 788) ($(registry_int sysdata 800) bytes)"
echo "databases:         $(cd "$(data_folder)/db" && ls -- *.cvd *.cld 2>/dev/null | tr '\n' ' ')"
echo "scan engine:       $(last_scan_engine)"
echo "items scanned:     $(history_int 24)"
echo "infections found:  $(history_int 60)"
echo "infections removed: $(history_int 28)"
if [ -f "$dump" ]; then
  found=$(history_int 60)
  for ((k = 0; k < found && k < 500; k++)); do
    echo "infection:         $(dump_text "$dump" 256 "$k") ($(dump_text "$dump" 512 "$k"))"
  done
fi
[ -z "$realtime_line" ] || echo "real-time:         $realtime_line"
if [ -e "$PWD/build/run/data/$demo_named_file" ]; then
  echo "restored:          D:\\${demo_named_file//\//\\}"
fi
echo "== a scan from Explorer's menu while the program runs: TolvarScan.exe /scan D:\\explorer_demo,"
echo "   then a second AntiVirus.exe /scan with a file and a folder, which ends at once"
explorer_line=$(explorer_scan_demo "$shots")
echo "explorer scan:     $explorer_line"
echo "== screenshots in $shots:"
ls -1 "$shots"
