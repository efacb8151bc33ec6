#!/usr/bin/env bash
# How fast the whole program takes in a scanner's report: the fake scanner
# floods it with N report lines ("flood N", ten files to a folder, a
# detection every 10,000th line) and the program, under Wine on a private
# Xvfb display, parses and shows them as it would a real scan's.
#
#   bench/scan_flood.sh
#
# Environment:
#   BENCH_LINES       the sizes to run, "250000 1000000" unless set
#   BENCH_BUILD_DIR   the Windows build to make and use, build/bench-win
#                     unless set (relative to the repository); the Wine
#                     prefix is made afresh in its flood/ folder
#
# For each N it prints, in one table:
#   anchor s        the fake scanner alone writing the report into a file
#                   under Wine, Wine's start-up included: what the scanner
#                   side costs, the floor of any run
#   program s       wall time from the click on Full Scan to the result
#                   window ("Infections Found", or "Scan Complete" without
#                   detections), polled every 50 ms
#   lines/s         N / program s
#   CPU s, us/line  CPU time (user + system, all threads) of the program's
#                   Linux process over the same span, from /proc/PID/stat
#   wineserver s    the same for the prefix's wineserver
#   peak RSS        the program's VmHWM when the result window is up
#   figures         what the program recorded in the registry (value "lsd":
#                   items scanned, infections found) against what the
#                   scanner wrote: N minus the detections, the detections
#
# Beside each size it also tells the CPU time Xvfb and the rest of the
# machine used over the same span: a machine busy with other work makes the
# wall times pessimistic, and a note under the targets says so.
#
# It is a benchmark, not a test: the targets are printed under the table,
# not enforced. Exit status: 0 when every size ran and its figures matched,
# 1 when a size's figures did not match, 2 when it could not run.
set -Eeuo pipefail
trap 'echo "scan_flood: failed at line $LINENO: $BASH_COMMAND" >&2; exit 2' ERR

repo_root=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo_root"
source scripts/build.sh
source scripts/wine-session.sh
# The end-to-end tests' helpers: stopping the program's session, the main
# window, window geometry, the quiet update check, registry fields.
source tests/e2e/lib.sh

lines_list=${BENCH_LINES:-250000 1000000}
build_dir=${BENCH_BUILD_DIR:-build/bench-win}
case "$build_dir" in
  /*) ;;
  *) build_dir="$repo_root/$build_dir" ;;
esac
work="$build_dir/flood"
prefix="$work/wineprefix"
program_folder="$prefix/drive_c/Program Files/Tolvar AntiVirus"
program_exe='C:\Program Files\Tolvar AntiVirus\AntiVirus.exe'
scanner_exe='C:\Program Files\Tolvar AntiVirus\bin\snr\1\9\clamscan.exe'
# The scanner's flood puts a detection on every line whose number is a
# multiple of this.
detection_every=10000

die() {
  echo "scan_flood: $*" >&2
  exit 2
}

for n in $lines_list; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || die "BENCH_LINES holds '$n', not a positive whole number"
done
[ -n "$lines_list" ] || die "BENCH_LINES is empty"

cleanup() {
  stop_program
  stop_session
}
trap cleanup EXIT

# Microseconds since the epoch, without starting a process (the polling
# runs beside the program being measured).
now_us() {
  local t=$EPOCHREALTIME
  echo "${t//[!0-9]/}"
}

# user + system CPU ticks of a process, all its threads together.
cpu_ticks() {
  local stat
  read -r stat <"/proc/$1/stat"
  # The name in parentheses may hold blanks; the fields after it may not.
  set -- ${stat##*") "}
  echo $(( ${12} + ${13} ))
}

# user + system + interrupt CPU ticks of the whole machine, all processors.
machine_ticks() {
  local label user nice system idle iowait irq softirq steal
  read -r label user nice system idle iowait irq softirq steal _ </proc/stat
  echo $((user + nice + system + irq + softirq + steal))
}

# The Linux process of a Windows program of the given name started in the
# session SID (Wine names its processes after their executables).
session_process() {
  local sid=$1 name=$2
  ps -e -o pid=,sid=,comm= | awk -v sid="$sid" -v name="$name" \
    '$2 == sid && $3 == name { print $1; exit }'
}

# The wineserver of our prefix: it runs in a folder named after the prefix's
# device and inode, so another prefix's server is never taken for it.
prefix_wineserver() {
  local dev ino folder pid
  read -r dev ino < <(stat -L -c '%d %i' "$prefix")
  folder=$(printf 'server-%x-%x' "$dev" "$ino")
  for pid in $(pgrep -x 'wineserver(64)?' || true); do
    if [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null || true)")" = "$folder" ]; then
      echo "$pid"
      return 0
    fi
  done
  return 1
}

# Ids of the visible windows whose name matches, one a line.
visible_windows() {
  xdotool search --onlyvisible --name "$1" 2>/dev/null || true
}

# The first window that ends a scan (or the update prompt, which would mean
# the scan never ran) that was not up before this size's program started.
result_window() {
  visible_windows '^(Infections Found|Scan Complete|Scan Failed|Update Available)$' |
    grep -vxF -f "$work/stale-windows" | head -n 1 || true
}

# The Windows name of a file under / (Wine's Z: drive).
windows_path() {
  echo "Z:${1//\//\\}"
}

ensure_dependencies
echo "== building (Windows, in $build_dir)"
cmake -S "$root" -B "$build_dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
  -DTOLVAR_DEPS_PREFIX="$build_root/deps/prefix" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --target program_folder fake_scanner

start_display
mkdir -p "$work"
prepare_prefix "$prefix" fresh
rm -rf "$program_folder"
mkdir -p "$program_folder"
cp -r "$build_dir/program/." "$program_folder/"
mkdir -p "$program_folder/bin/snr/1/9"
cp "$build_dir/tools/fake_scanner.exe" "$program_folder/bin/snr/1/9/clamscan.exe"
# A scan starts its scanner only with a database to name: ClamAV's test-1.cvd.
database_folder="$prefix/drive_c/users/$(id -un)/AppData/Roaming/Mirebrook/db"
mkdir -p "$database_folder"
cp "$clamav_testfiles/test-1.cvd" "$database_folder/main.cvd"
quiet_update_check

ticks_per_second=$(getconf CLK_TCK)
rows=()
busy=""
status=0

for n in $lines_list; do
  detections=$((n / detection_every))
  script="$work/flood-$n.txt"
  printf 'flood %s\n' "$n" >"$script"
  export TOLVAR_FAKE_SCANNER_SCRIPT
  TOLVAR_FAKE_SCANNER_SCRIPT=$(windows_path "$script")
  expected_code=0
  ((detections > 0)) && expected_code=1

  echo "== N = $n: the fake scanner alone"
  report="$work/anchor-$n.txt"
  t0=$(now_us)
  code=0
  wine "$scanner_exe" </dev/null >"$report" 2>/dev/null || code=$?
  t1=$(now_us)
  anchor_seconds=$(awk -v us=$((t1 - t0)) 'BEGIN { printf "%.3f", us / 1e6 }')
  written=$(wc -l <"$report")
  found=$(grep -c ' FOUND$' "$report" || true)
  rm -f "$report"
  [ "$written" = "$n" ] && [ "$found" = "$detections" ] ||
    die "the fake scanner wrote $written lines with $found detections, not $n with $detections"
  [ "$code" = "$expected_code" ] || die "the fake scanner ended with $code, not $expected_code"

  echo "== N = $n: the program"
  # Windows of the size run before may linger for a while: neither its
  # main window nor its result window may be taken for this run's.
  stale=$(xdotool search --name '.' 2>/dev/null | tr '\n' ' ' || true)
  tr ' ' '\n' <<<"$stale" | grep . >"$work/stale-windows" || true
  setsid wine "$program_exe" </dev/null >/dev/null 2>&1 &
  program_pid=$!
  win=$(wait_for_main_window 90 "$stale") || die "the main window did not appear"
  # The splash closes and the start-up settles; the figures start at the click.
  sleep 1.5
  av_pid=$(session_process "$program_pid" AntiVirus.exe)
  [ -n "$av_pid" ] || die "no Linux process named AntiVirus.exe in the program's session"
  server_pid=$(prefix_wineserver) || die "no wineserver runs for $prefix"
  read -r wx wy _ _ < <(window_geometry "$win")

  # Full Scan on the Scan page's first view is the Start Scan command. A
  # click can be lost (taken for activating the window): without a scanner
  # or a result a few seconds later, it is made again and the clock starts
  # over.
  result=""
  for attempt in 1 2 3; do
    cpu0=$(cpu_ticks "$av_pid")
    server0=$(cpu_ticks "$server_pid")
    display0=$(cpu_ticks "$xvfb_pid")
    machine0=$(machine_ticks)
    t0=${EPOCHREALTIME//[!0-9]/}
    xdotool mousemove $((wx + 178 + 8 + 90)) $((wy + 47 + 320 + 25)) click 1
    checked=0
    give_up=""
    # Generous: two minutes and a millisecond a line, about four times
    # what the slowest program measured needed.
    limit=$((120 + n / 1000))
    while :; do
      result=$(result_window)
      [ -n "$result" ] && break
      t=${EPOCHREALTIME//[!0-9]/}
      if [ "$checked" = 0 ] && ((t - t0 > 3000000)); then
        checked=1
        # Without a scanner the click was lost, unless the scanner has
        # just ended and the result is about to show: a second more.
        if [ -z "$(session_process "$program_pid" clamscan.exe)" ]; then
          give_up=$((t + 1000000))
        fi
      fi
      if [ -n "$give_up" ] && ((t > give_up)); then
        break
      fi
      ((t - t0 < limit * 1000000)) || die "no result window within $limit s"
      sleep 0.05
    done
    [ -n "$result" ] && break
    echo "   the click on Full Scan started no scan; clicking again"
  done
  t1=${EPOCHREALTIME//[!0-9]/}
  cpu1=$(cpu_ticks "$av_pid")
  server1=$(cpu_ticks "$server_pid")
  display1=$(cpu_ticks "$xvfb_pid")
  machine1=$(machine_ticks)
  [ -n "$result" ] || die "three clicks on Full Scan started no scan"
  result_name=$(xdotool getwindowname "$result")
  case "$result_name" in
    "Infections Found" | "Scan Complete") ;;
    *) die "the program showed '$result_name' instead of a scan's result" ;;
  esac
  peak_kib=$(awk '/^VmHWM:/ { print $2 }' "/proc/$av_pid/status")
  stop_program

  items=$(registry_int lsd 24)
  infections=$(registry_int lsd 60)
  if [ "$items" = $((n - detections)) ] && [ "$infections" = "$detections" ]; then
    figures=OK
  else
    figures=MISMATCH
    status=1
  fi
  echo "   result window '$result_name'; recorded $items items, $infections infections" \
    "(the scanner wrote $((n - detections)) clean lines, $detections detections): $figures"
  # Wall times are only as good as the machine was free; CPU times hold.
  others=$(((machine1 - machine0) - (cpu1 - cpu0) - (server1 - server0) - (display1 - display0)))
  awk -v d=$((display1 - display0)) -v o="$others" -v hz="$ticks_per_second" 'BEGIN {
    printf "   meanwhile Xvfb used %.2f CPU s, the rest of the machine", d / hz
    printf " (the scanner included) %.2f\n", o / hz }'
  if ((others * 1000000 > (t1 - t0) * ticks_per_second / 2)); then
    busy="${busy:+$busy, }$n"
  fi

  rows+=("$(awk -v n="$n" -v anchor="$anchor_seconds" -v t0="$t0" -v t1="$t1" \
    -v c0="$cpu0" -v c1="$cpu1" -v s0="$server0" -v s1="$server1" -v hz="$ticks_per_second" \
    -v kib="$peak_kib" -v figures="$figures" 'BEGIN {
      wall = (t1 - t0) / 1e6; cpu = (c1 - c0) / hz
      printf "%d %.3f %.0f %.3f %.0f %.2f %.3f %.2f %.1f %s\n", n, anchor, n / anchor, wall,
        n / wall, cpu, cpu * 1e6 / n, (s1 - s0) / hz, kib / 1024, figures }')")
done

echo
echo "== scan flood: the program under Wine taking in N report lines"
printf '%9s %9s %11s %10s %10s %8s %8s %12s %9s %8s\n' N "anchor s" "anchor l/s" "program s" \
  "lines/s" "CPU s" "us/line" "wineserver s" "peak MiB" figures
for row in "${rows[@]}"; do
  read -r n anchor anchor_rate wall rate cpu per_line server peak figures <<<"$row"
  printf '%9s %9s %11s %10s %10s %8s %8s %12s %9s %8s\n' "$n" "$anchor" "$anchor_rate" \
    "$wall" "$rate" "$cpu" "$per_line" "$server" "$peak" "$figures"
done

# Linearity: the cost of a line at the largest size against the smallest.
read -r n_first _ _ _ _ _ first_per_line _ <<<"${rows[0]}"
read -r n_last _ _ last_wall _ _ last_per_line _ <<<"${rows[${#rows[@]} - 1]}"
read -r _ _ _ first_wall _ <<<"${rows[0]}"
echo
echo "Targets (shown, not enforced):"
echo "  at least 100,000 lines per second"
echo "  at most 5 microseconds of program CPU per line"
if [ "$n_first" != "$n_last" ]; then
  awk -v a="$n_first" -v b="$n_last" -v pa="$first_per_line" -v pb="$last_per_line" \
    -v wa="$first_wall" -v wb="$last_wall" 'BEGIN {
      printf "  cost growing linearly with N"
      if (pa <= 0 || wa <= 0) { print " (the first size is too small to compare)"; exit }
      printf " (CPU per line at N=%d is %.2f times that at N=%d;", b, pb / pa, a
      printf " wall time per line %.2f times)\n", (wb / b) / (wa / a) }'
else
  echo "  cost growing linearly with N (needs two sizes in BENCH_LINES to compare)"
fi
echo "  figures equal to what the scanner wrote"
if [ -n "$busy" ]; then
  echo
  echo "Note: other work kept at least half a processor busy while measuring N = $busy:" \
    "wall times and lines per second there are pessimistic, the CPU times much less so."
fi
exit "$status"
