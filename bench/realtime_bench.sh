#!/usr/bin/env bash
# Real-time protection under Wine, on a private Xvfb display: the whole
# program runs with Debian's clamd (behind the clamd bridge, as a ClamAV
# service on this computer, at the address in the program's `engine` key)
# and watches its user's folders, which are folders of the prefix's own.
# Between the program and clamd a relay writes down every file asked of
# clamd (bench/clamd_counting_proxy.py).
#
#   bench/realtime_bench.sh
#
# Environment:
#   BENCH_FILES         files unpacked at once in (b), 10000 unless set
#   BENCH_IDLE_SECONDS  the idle span of (c), 600 unless set
#   BENCH_BUILD_DIR     the Windows build to make and use, build/bench-win
#                       unless set; the Wine prefix is made afresh in its
#                       realtime/ folder
#
# It measures:
#   (a) the EICAR file written into Downloads, 20 times: from the writer's
#       close to the file gone from the folder (polled every 5 ms)
#   (b) BENCH_FILES small files unpacked into a new folder in Downloads at
#       once: how many clamd was asked for, how many twice, how many never
#       (after the requests stopped coming), and the longest the main window
#       took to answer meanwhile (tools/ui_probe, a message every 20 ms)
#   (c) the program's CPU time (all its threads) over BENCH_IDLE_SECONDS with
#       nothing changing, its window hidden in the tray
#   (d) its resident memory (VmRSS) at the end of (c), in the tray
# The targets are printed under the table, not enforced. Exit status: 0 when
# (b) asked for every file exactly once, 1 when not, 2 when it could not run.
set -Eeuo pipefail
trap 'echo "realtime_bench: failed at line $LINENO: $BASH_COMMAND" >&2; exit 2' ERR

repo_root=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo_root"
source scripts/build.sh
source scripts/wine-session.sh
source tests/e2e/lib.sh
source bench/bench_lib.sh

files=${BENCH_FILES:-10000}
idle_seconds=${BENCH_IDLE_SECONDS:-600}
build_dir=${BENCH_BUILD_DIR:-build/bench-win}
case "$build_dir" in
  /*) ;;
  *) build_dir="$repo_root/$build_dir" ;;
esac
work="$build_dir/realtime"
prefix="$work/wineprefix"
program_folder="$prefix/drive_c/Program Files/Tolvar AntiVirus"
program_exe='C:\Program Files\Tolvar AntiVirus\AntiVirus.exe'
engine_key='HKLM\Software\Mirebrook\AntiVirus\engine'
eicar='X5O!P%@AP[4\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*'

die() {
  echo "realtime_bench: $*" >&2
  exit 2
}
[[ $files =~ ^[1-9][0-9]*$ ]] || die "BENCH_FILES holds '$files'"
[[ $idle_seconds =~ ^[1-9][0-9]*$ ]] || die "BENCH_IDLE_SECONDS holds '$idle_seconds'"

clamd_pid=""
proxy_pid=""
cleanup() {
  stop_program
  [ -n "$proxy_pid" ] && kill "$proxy_pid" 2>/dev/null || true
  [ -n "$clamd_pid" ] && kill "$clamd_pid" 2>/dev/null || true
  stop_session
}
trap cleanup EXIT

ensure_dependencies
echo "== building (Windows, in $build_dir)"
cmake -S "$root" -B "$build_dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
  -DTOLVAR_DEPS_PREFIX="$build_root/deps/prefix" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --target program_folder clamd_bridge ui_probe

start_display
mkdir -p "$work"
prepare_prefix "$prefix" fresh
# The user's folders as folders of the prefix, not links to the home folder.
while IFS= read -r -d '' link; do
  rm -f "$link"
  mkdir -p "$link"
done < <(find "$prefix/drive_c/users" -type l -print0)
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
keep_server
rm -rf "$program_folder"
mkdir -p "$program_folder"
cp -r "$build_dir/program/." "$program_folder/"
downloads="$prefix/drive_c/users/$(id -un)/Downloads"
mkdir -p "$downloads"

# The signatures: ClamAV's signed test-1.cvd as main.cvd and one hash
# signature of the EICAR file.
signatures="$work/signatures"
rm -rf "$signatures"
mkdir -p "$signatures"
printf '%s:68:Bench.Eicar\n' "$(printf '%s' "$eicar" | md5sum | cut -d' ' -f1)" \
  >"$signatures/eicar.hdb"
cp "$clamav_testfiles/test-1.cvd" "$signatures/main.cvd"
database_folder="$prefix/drive_c/users/$(id -un)/AppData/Roaming/Mirebrook/db"
mkdir -p "$database_folder"
cp "$signatures/main.cvd" "$database_folder/main.cvd"

port=$(free_port)
conf="$work/clamd.conf"
printf 'TCPAddr 127.0.0.1\r\nTCPSocket %s\r\nDatabaseDirectory %s\r\nMaxThreads %s\r\n' \
  "$port" "$(windows_path "$signatures")" "$(nproc)" >"$conf"
echo "== starting Debian's clamd behind the clamd bridge (port $port)"
setsid wine "$build_dir/tools/clamd_bridge.exe" --foreground \
  --config-file="$(windows_path "$conf")" </dev/null >"$work/clamd.log" 2>&1 &
clamd_pid=$!
for _ in $(seq 600); do
  clamd_answers "$port" && break
  kill -0 "$clamd_pid" 2>/dev/null || die "the clamd bridge ended: $(tail -5 "$work/clamd.log")"
  sleep 0.2
done
clamd_answers "$port" || die "clamd did not answer PING within two minutes"
proxy_port=$(free_port)
requests="$work/requests.txt"
: >"$requests"
python3 bench/clamd_counting_proxy.py "$proxy_port" "$port" "$requests" &
proxy_pid=$!
for _ in $(seq 50); do clamd_answers "$proxy_port" && break; sleep 0.1; done
: >"$requests"

wine reg add "$engine_key" /ve /d "127.0.0.1:$proxy_port" /reg:32 /f >/dev/null 2>&1
wine reg add "$engine_key" /v KeepLoaded /t REG_DWORD /d 0 /reg:32 /f >/dev/null 2>&1
quiet_update_check
stale=$(xdotool search --name '.' 2>/dev/null | tr '\n' ' ' || true)
start_program wine "$program_exe"
win=$(wait_for_main_window 90 "$stale") || die "the main window did not appear"
av_pid=$(session_process "$program_pid" AntiVirus.exe)
[ -n "$av_pid" ] || die "no Linux process named AntiVirus.exe"
sleep 3

echo "== (a) the EICAR file written into Downloads, 20 times"
latencies=()
for i in $(seq 20); do
  target="$downloads/eicar-$i.com"
  printf '%s' "$eicar" >"$target"
  t0=$(now_us)
  while [ -e "$target" ]; do
    (($(now_us) - t0 < 30000000)) || die "eicar-$i.com was still there after 30 s"
    sleep 0.005
  done
  latencies+=("$(awk -v us=$(($(now_us) - t0)) 'BEGIN { printf "%.3f", us / 1e6 }')")
  sleep 0.5
done
read -r median maximum < <(printf '%s\n' "${latencies[@]}" | sort -n |
  awk '{ v[NR] = $1 } END { printf "%s %s\n", (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2), v[NR] }')
echo "   median $median s, maximum $maximum s"

echo "== (b) $files small files unpacked into Downloads at once"
source_tree="$work/unpack"
rm -rf "$source_tree"
mkdir -p "$source_tree/unpacked"
python3 - "$source_tree/unpacked" "$files" <<'PY'
import os, sys
folder, n = sys.argv[1], int(sys.argv[2])
for k in range(n):
    sub = os.path.join(folder, "part%02d" % (k % 20))
    os.makedirs(sub, exist_ok=True)
    with open(os.path.join(sub, "file%05d.txt" % k), "w") as f:
        f.write("small file %d\n" % k)
PY
tar -C "$source_tree" -cf "$work/unpack.tar" unpacked
: >"$requests"
wine "$build_dir/tools/ui_probe.exe" "Tolvar AntiVirus" 60 \
  >"$work/probe.txt" 2>&1 &
probe_pid=$!
sleep 1
tar -C "$downloads" -xf "$work/unpack.tar"
# Until the requests stop coming for ten seconds (at most ten minutes).
last_count=-1
quiet=0
for _ in $(seq 600); do
  count=$(grep -c '\\unpacked\\' "$requests" || true)
  if [ "$count" = "$last_count" ]; then quiet=$((quiet + 1)); else quiet=0; fi
  last_count=$count
  [ "$quiet" -ge 10 ] && break
  sleep 1
done
wait "$probe_pid" || true
asked=$(grep '\\unpacked\\' "$requests" | sort | uniq | wc -l)
twice=$(grep '\\unpacked\\' "$requests" | sort | uniq -d | wc -l)
never=$((files - asked))
probe=$(cat "$work/probe.txt" | tr -d '\r')
ui_max=$(sed -n 's/.*max_ms \([0-9.]*\).*/\1/p' <<<"$probe")
echo "   asked for $asked of $files, $twice twice, $never never; main window: $probe"

echo "== (c, d) $idle_seconds s idle in the tray"
xdotool windowclose "$win" 2>/dev/null || true  # Close keeps it in the tray
sleep 5
kill -0 "$av_pid" 2>/dev/null || die "the program ended on Close with real-time protection on"
before=$(cpu_ticks "$av_pid")
sleep "$idle_seconds"
after=$(cpu_ticks "$av_pid")
hz=$(getconf CLK_TCK)
idle_cpu=$(awk -v t=$((after - before)) -v hz="$hz" 'BEGIN { printf "%.2f", t / hz }')
rss=$(awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$av_pid/status")
echo "   CPU $idle_cpu s; resident $rss MiB"

status=0
[ "$asked" = "$files" ] && [ "$twice" = 0 ] || status=1
echo
echo "== real-time benchmark: $(nproc) processors"
printf '%-44s %s\n' "(a) EICAR: close to gone, median / maximum" "$median s / $maximum s"
printf '%-44s %s\n' "(b) files asked once / twice / never" "$((asked - twice)) / $twice / $never of $files"
printf '%-44s %s\n' "(b) main window's longest answer" "${ui_max:-?} ms"
printf '%-44s %s\n' "(c) CPU over $idle_seconds s idle" "$idle_cpu s"
printf '%-44s %s\n' "(d) resident in the tray" "$rss MiB"
echo
echo "Targets (shown, not enforced): (a) median at most 1 s; (b) $files of $files, each once,"
echo "the window answering within 100 ms; (c) under 1 s over 600 s; (d) at most 40 MB."
exit "$status"
