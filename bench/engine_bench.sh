#!/usr/bin/env bash
# How much a loaded engine saves: the whole program under Wine on a private
# Xvfb display scans through Debian's clamscan (behind the scanner bridge)
# and through Debian's clamd (behind the clamd bridge, run as a ClamAV
# service on this computer would be, at an address set in the program's
# `engine` key), both with a signature set of the official database's size
# that bench/make_large_database.sh generates (never committed).
#
#   bench/engine_bench.sh
#
# Environment:
#   BENCH_TREE_FILES  clean files in the tree of (b) and (c), 20000 unless set
#                     (the demo's samples, three EICAR copies among them, come
#                     on top)
#   BENCH_BUILD_DIR   the Windows build to make and use, build/bench-win
#                     unless set; the Wine prefix is made afresh in its
#                     engine/ folder
#   BENCH_DB_DIR      the generated set (see make_large_database.sh)
#
# It measures, for each engine:
#   (a) one file: the click on Full Scan (the only fixed drive holds the EICAR
#       file alone) to the result window
#   (b) the tree: the click on Full Scan to the result window, with the items
#       and infections the program recorded
#   (c) Stop: a click on Stop two seconds into the tree's scan to nothing left
#       scanning (clamscan: its Linux process gone; clamd: no more CPU used by
#       it, sampled every 10 ms)
#   (d) the program's own peak memory (VmHWM of AntiVirus.exe), clamd's
#       apart
# The targets are printed under the table, not enforced. Exit status: 0 when
# every run ended with the same figures on both engines, 1 when they
# differed, 2 when it could not run.
set -Eeuo pipefail
trap 'echo "engine_bench: failed at line $LINENO: $BASH_COMMAND" >&2; exit 2' ERR

repo_root=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo_root"
source scripts/build.sh
source scripts/wine-session.sh
source tests/e2e/lib.sh
source bench/bench_lib.sh

tree_files=${BENCH_TREE_FILES:-20000}
build_dir=${BENCH_BUILD_DIR:-build/bench-win}
case "$build_dir" in
  /*) ;;
  *) build_dir="$repo_root/$build_dir" ;;
esac
db_dir=${BENCH_DB_DIR:-build/bench-db}
case "$db_dir" in
  /*) ;;
  *) db_dir="$repo_root/$db_dir" ;;
esac
export BENCH_DB_DIR=$db_dir
work="$build_dir/engine"
prefix="$work/wineprefix"
program_folder="$prefix/drive_c/Program Files/Tolvar AntiVirus"
program_exe='C:\Program Files\Tolvar AntiVirus\AntiVirus.exe'
engine_key='HKLM\Software\Mirebrook\AntiVirus\engine'

die() {
  echo "engine_bench: $*" >&2
  exit 2
}
[[ $tree_files =~ ^[1-9][0-9]*$ ]] || die "BENCH_TREE_FILES holds '$tree_files'"

clamd_pid=""
cleanup() {
  stop_program
  [ -n "$clamd_pid" ] && kill "$clamd_pid" 2>/dev/null || true
  stop_session
}
trap cleanup EXIT

result_window() {
  xdotool search --onlyvisible --name '^(Infections Found|Scan Complete|Scan Failed)$' \
    2>/dev/null | grep -vxF -f "$work/stale-windows" | head -n 1 || true
}

ensure_dependencies
echo "== the signature set"
bash bench/make_large_database.sh
echo "== building (Windows, in $build_dir)"
cmake -S "$root" -B "$build_dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
  -DTOLVAR_DEPS_PREFIX="$build_root/deps/prefix" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --target program_folder scanner_bridge clamd_bridge

start_display
mkdir -p "$work"
prepare_prefix "$prefix" fresh
rm -rf "$program_folder"
mkdir -p "$program_folder"
cp -r "$build_dir/program/." "$program_folder/"
mkdir -p "$program_folder/bin/snr/1/9"
cp "$build_dir/tools/scanner_bridge.exe" "$program_folder/bin/snr/1/9/clamscan.exe"

# The signatures: the generated set and one hash signature of the EICAR file,
# so that both engines find the same three files. The program names a
# database only when its folder holds one: ClamAV's signed test-1.cvd as
# main.cvd (no signatures of its own).
signatures="$work/signatures"
rm -rf "$signatures"
mkdir -p "$signatures"
ln -s "$db_dir/bench.hdb" "$signatures/bench.hdb"
ln -s "$db_dir/bench.ndb" "$signatures/bench.ndb"
eicar='X5O!P%@AP[4\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*'
printf '%s:68:Bench.Eicar\n' "$(printf '%s' "$eicar" | md5sum | cut -d' ' -f1)" \
  >"$signatures/eicar.hdb"
database_folder="$prefix/drive_c/users/$(id -un)/AppData/Roaming/Mirebrook/db"
mkdir -p "$database_folder"
cp "$clamav_testfiles/test-1.cvd" "$database_folder/main.cvd"
cp "$clamav_testfiles/test-1.cvd" "$signatures/main.cvd"
# clamscan gets every file of this folder beside the program's main.cvd.
export TOLVAR_DEMO_SIGNATURES="$signatures"

# The drives: D: is the only fixed one (C: is marked a network drive, so a
# full scan never enters Wine's own files), pointed at the one file or the
# tree before each run.
one="$work/one"
rm -rf "$one"
mkdir -p "$one"
printf '%s' "$eicar" >"$one/eicar.com"
tree="$work/tree"
bash tools/demo/make_demo_data.sh "$tree" "$tree_files" >/dev/null
tree_count=$(find "$tree" -type f | wc -l)
wine reg add 'HKLM\Software\Wine\Drives' /v c: /d network /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Drives' /v z: /d network /f >/dev/null 2>&1
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
keep_server
point_d() {
  rm -f "$prefix/dosdevices/d:"
  ln -s "$1" "$prefix/dosdevices/d:"
}

# The clamd: Debian's, behind the clamd bridge, on a port of its own, as a
# ClamAV service on this computer.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
conf="$work/clamd.conf"
printf 'TCPAddr 127.0.0.1\r\nTCPSocket %s\r\nDatabaseDirectory %s\r\nMaxThreads %s\r\n' \
  "$port" "$(windows_path "$signatures")" "$(nproc)" >"$conf"
echo "== starting Debian's clamd behind the clamd bridge with the set (port $port)"
t0=$(now_us)
setsid wine "$build_dir/tools/clamd_bridge.exe" --foreground \
  --config-file="$(windows_path "$conf")" </dev/null >"$work/clamd.log" 2>&1 &
clamd_pid=$!
for _ in $(seq 600); do
  clamd_answers "$port" && break
  kill -0 "$clamd_pid" 2>/dev/null || die "the clamd bridge ended: $(tail -5 "$work/clamd.log")"
  sleep 0.2
done
clamd_answers "$port" || die "clamd did not answer PING within two minutes"
t1=$(now_us)
debian_clamd=$(pgrep -n -x clamd) || die "no Debian clamd runs"
load_seconds=$(awk -v us=$((t1 - t0)) 'BEGIN { printf "%.1f", us / 1e6 }')
echo "   ready after $load_seconds s"

# run ENGINE CASE: one program run; sets run_seconds, run_items,
# run_infections, run_peak_mib and, for CASE stop, stop_seconds.
run() {
  local engine=$1 case=$2 value
  if [ "$engine" = clamscan ]; then value=clamscan; else value="127.0.0.1:$port"; fi
  wine reg add "$engine_key" /ve /d "$value" /reg:32 /f >/dev/null 2>&1
  # No clamd of the program's own: the service above is the one measured.
  wine reg add "$engine_key" /v KeepLoaded /t REG_DWORD /d 0 /reg:32 /f >/dev/null 2>&1
  if [ "$case" = one ]; then point_d "$one"; else point_d "$tree"; fi
  quiet_update_check
  local stale
  stale=$(xdotool search --name '.' 2>/dev/null | tr '\n' ' ' || true)
  tr ' ' '\n' <<<"$stale" | grep . >"$work/stale-windows" || true
  start_program wine "$program_exe"
  local win
  win=$(wait_for_main_window 90 "$stale") || die "the main window did not appear"
  sleep 1.5
  local av_pid
  av_pid=$(session_process "$program_pid" AntiVirus.exe)
  [ -n "$av_pid" ] || die "no Linux process named AntiVirus.exe"
  local t0 t result=""
  t0=$(now_us)
  click_in "$win" $((178 + 8 + 90)) $((47 + 320 + 25))  # Full Scan
  if [ "$case" = stop ]; then
    sleep 2
    [ -z "$(result_window)" ] || die "the tree's scan through $engine ended within two seconds"
    local before last quiet=0
    t0=$(now_us)
    click_in "$win" $((178 + 16 + 3 * 118 + 50)) $((47 + 250 + 16))  # Stop
    last=$t0
    while ((quiet < 50)); do
      t=$(now_us)
      ((t - t0 < 60000000)) || die "something still scans a minute after Stop ($engine)"
      if [ "$engine" = clamscan ]; then
        if pgrep -x clamscan >/dev/null; then last=$t; quiet=0; else quiet=50; fi
      else
        before=$(cpu_ticks "$debian_clamd")
        sleep 0.01
        if [ "$(cpu_ticks "$debian_clamd")" != "$before" ]; then last=$(now_us); quiet=0; else quiet=$((quiet + 1)); fi
      fi
    done
    stop_seconds=$(awk -v us=$((last - t0)) 'BEGIN { printf "%.3f", us / 1e6 }')
  else
    while :; do
      result=$(result_window)
      [ -n "$result" ] && break
      t=$(now_us)
      ((t - t0 < 900000000)) || die "no result window within 15 minutes ($engine, $case)"
      sleep 0.01
    done
    t=$(now_us)
    run_seconds=$(awk -v us=$((t - t0)) 'BEGIN { printf "%.3f", us / 1e6 }')
  fi
  run_peak_mib=$(awk '/^VmHWM:/ { printf "%.0f", $2 / 1024 }' "/proc/$av_pid/status")
  stop_program
  run_items=$(registry_int lsd 24)
  run_infections=$(registry_int lsd 60)
  run_engine=$(wine reg query "$engine_key" /v LastScanEngine /reg:32 2>/dev/null |
    sed -n 's/.*REG_SZ[[:space:]]*//p' | tr -d '\r')
}

declare -A seconds items infections peak stops engines
for engine in clamscan clamd; do
  for case in one tree stop; do
    echo "== $engine: $case"
    run "$engine" "$case"
    engines[$engine]=$run_engine
    if [ "$case" = stop ]; then
      stops[$engine]=$stop_seconds
      echo "   nothing left scanning $stop_seconds s after Stop"
    else
      seconds[$engine,$case]=$run_seconds
      items[$engine,$case]=$run_items
      infections[$engine,$case]=$run_infections
      echo "   $run_seconds s; $run_items items, $run_infections infections; engine '$run_engine'"
    fi
    peak[$engine,$case]=$run_peak_mib
  done
done
clamd_mib=$(awk '/^VmHWM:/ { printf "%.0f", $2 / 1024 }' "/proc/$debian_clamd/status")

status=0
for case in one tree; do
  if [ "${items[clamscan,$case]}" != "${items[clamd,$case]}" ] ||
    [ "${infections[clamscan,$case]}" != "${infections[clamd,$case]}" ]; then
    status=1
  fi
done

echo
echo "== engine benchmark: $(nproc) processors; the set: 4,000,000 hash and 200,000 body signatures"
echo "   (clamd loaded it in $load_seconds s; the tree holds $tree_count files)"
printf '%-10s %12s %12s %10s %14s %14s\n' engine "(a) one s" "(b) tree s" "(c) stop s" "(b) items/inf" "(d) peak MiB"
for engine in clamscan clamd; do
  printf '%-10s %12s %12s %10s %14s %14s\n' "$engine" "${seconds[$engine,one]}" \
    "${seconds[$engine,tree]}" "${stops[$engine]}" \
    "${items[$engine,tree]}/${infections[$engine,tree]}" "${peak[$engine,tree]}"
done
echo "engines recorded: '${engines[clamscan]}', '${engines[clamd]}'; Debian clamd's own peak: $clamd_mib MiB"
echo
echo "Targets (shown, not enforced):"
awk -v a="${seconds[clamscan,one]}" -v b="${seconds[clamd,one]}" 'BEGIN {
  printf "  (a) at most 0.5 s through clamd (%.3f s), at least 20 times faster than clamscan (%.1f times)\n", b, a / b }'
awk -v a="${seconds[clamscan,tree]}" -v b="${seconds[clamd,tree]}" 'BEGIN {
  printf "  (b) at least 1.6 times faster than clamscan (%.2f times), counts equal\n", a / b }'
echo "  (c) at most 0.2 s (clamscan ${stops[clamscan]} s, clamd ${stops[clamd]} s)"
[ "$status" = 0 ] || echo "The engines recorded different figures: see the table."
exit "$status"
