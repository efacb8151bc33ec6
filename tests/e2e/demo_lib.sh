# The demo's world, shared by ./run.sh and the end-to-end tests: a Wine
# prefix whose fixed drives are its own C: and a D: holding the sample
# folder (Z:, the whole Linux file system, is marked a network drive, so
# "all fixed drives" stays small; it must stay, since Wine starts Linux
# programs such as clamscan through it), the program installed by its own
# setup under C:\Program Files with the scanner bridge put in as its
# clamscan.exe, the freshclam bridge as its freshclam.exe and the clamd
# bridge as its clamd.exe (the stand-ins for ClamAV's Windows files), an
# empty database folder, and the
# test mirror serving ClamAV's own signed test databases, which the program
# fetches with Debian's freshclam before it scans. The headless flow then
# turns the database folder into a PC's second day's: the daily database
# as freshclam patched it (daily.cld, daily.cvd gone).
# Needs: lib.sh, wine-session.sh (sourced), DISPLAY, a built build/win (its
# setup among it), the test databases in build/clamav-testfiles and test.cld
# in build/clamav-patched (scripts/build.sh).

source "$repo_root/tests/e2e/setup_lib.sh"

demo_root=""
demo_program=""
demo_mirror_pid=""

# Serves main.cvd (test-1, no signatures), daily.cvd (test-6, with the
# EICAR signature) and bytecode.cvd (test-2) from ClamAV's test databases
# on 127.0.0.1, and points the freshclam bridge at it.
start_demo_mirror() {
  local root=$1 tests="$repo_root/build/clamav-testfiles"
  [ -s "$tests/test-6.cvd" ] || fail "ClamAV's test databases are missing in $tests"
  stop_demo_mirror
  rm -rf "$root"
  mkdir -p "$root/files"
  cp "$tests/test-1.cvd" "$root/files/main.cvd"
  cp "$tests/test-6.cvd" "$root/files/daily.cvd"
  cp "$tests/test-2.cvd" "$root/files/bytecode.cvd"
  python3 "$repo_root/tools/test_mirror/test_mirror.py" "$root" "$root/port" &
  demo_mirror_pid=$!
  for _ in $(seq 100); do
    [ -s "$root/port" ] && break
    sleep 0.1
  done
  [ -s "$root/port" ] || fail "the test mirror did not start"
  export TOLVAR_FRESHCLAM_MIRROR="http://127.0.0.1:$(cat "$root/port")"
}

stop_demo_mirror() {
  [ -n "$demo_mirror_pid" ] || return 0
  kill "$demo_mirror_pid" 2>/dev/null || true
  wait "$demo_mirror_pid" 2>/dev/null || true
  demo_mirror_pid=""
}

# With TOLVAR_DEMO_ENGINE=clamd the demo scans through Debian's clamd behind
# the clamd bridge, run as a ClamAV service on this computer would be: on a
# port of 127.0.0.1 the program's `engine` key names. (The program's own
# clamd is never trusted under Wine, whose table of listening ports names no
# process, so it does not serve the demo.)
demo_clamd_port=""
demo_clamd_pid=""

# Chooses the service's port and names it in the program's engine setting,
# before the program starts and reads it.
choose_demo_clamd_port() {
  demo_clamd_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  wine reg add 'HKLM\Software\Mirebrook\AntiVirus\engine' /ve /d "127.0.0.1:$demo_clamd_port" \
    /reg:32 /f >/dev/null 2>&1
}

# Answers whether the service answers PING with PONG.
demo_clamd_answers() {
  python3 - "$demo_clamd_port" <<'PY'
import socket, sys
try:
    s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=1)
    s.sendall(b"zPING\0")
    sys.exit(0 if s.recv(16).startswith(b"PONG") else 1)
except OSError:
    sys.exit(1)
PY
}

# Starts the service on the database folder as it is now and waits until it
# has loaded it.
start_demo_clamd() {
  local conf="$demo_root/clamd.conf" db
  db='C:\users\'"$(id -un)"'\AppData\Roaming\Mirebrook\db'
  printf 'TCPAddr 127.0.0.1\r\nTCPSocket %s\r\nDatabaseDirectory %s\r\nMaxThreads %s\r\n' \
    "$demo_clamd_port" "$db" "$(nproc)" >"$conf"
  setsid wine "$demo_program/bin/snr/1/9/clamd.exe" --foreground \
    --config-file="Z:${conf//\//\\}" </dev/null >"$demo_root/clamd.log" 2>&1 &
  demo_clamd_pid=$!
  for _ in $(seq 300); do
    demo_clamd_answers && return 0
    kill -0 "$demo_clamd_pid" 2>/dev/null || fail "the clamd service ended: $(tail -3 "$demo_root/clamd.log")"
    sleep 0.2
  done
  fail "the clamd service did not answer PING within a minute"
}

stop_demo_clamd() {
  [ -n "$demo_clamd_pid" ] || return 0
  kill "$demo_clamd_pid" 2>/dev/null || true
  wait "$demo_clamd_pid" 2>/dev/null || true
  demo_clamd_pid=""
}

# The engine the program recorded for its last scan.
last_scan_engine() {
  wine reg query 'HKLM\Software\Mirebrook\AntiVirus\engine' /v LastScanEngine /reg:32 2>/dev/null |
    sed -n 's/.*REG_SZ[[:space:]]*//p' | tr -d '\r'
}

# Ends what a demo started: its program, its mirror, its clamd service and
# its prefix's Wine server (the test run's own server stays as it is). For
# "trap end_demo EXIT".
end_demo() {
  stop_program
  stop_demo_mirror
  stop_demo_clamd
  [ -n "$demo_root" ] && WINEPREFIX="$demo_root/wineprefix" wineserver -k 2>/dev/null || true
}

# prepare_demo ROOT [BIGTREE_FILES]: data, prefix and program under ROOT.
prepare_demo() {
  local root=$1 big=${2:-}
  demo_root=$root
  mkdir -p "$root"
  bash "$repo_root/tools/demo/make_demo_data.sh" "$root/data" $big >/dev/null
  prepare_prefix "$root/wineprefix" fresh
  local devices="$root/wineprefix/dosdevices"
  rm -f "$devices/d:"
  ln -s "$root/data" "$devices/d:"
  wine reg add 'HKLM\Software\Wine\Drives' /v z: /d network /f >/dev/null 2>&1
  # Wine links the user's Desktop, Documents, Downloads, Templates and the
  # like to the Linux home folder, and shows the links to Windows programs
  # as plain folders (no reparse point): a walk of C: would wander through
  # the home folder and every prefix in it. Windows has no such links; the
  # demo's user gets folders of their own, as winetricks' sandbox makes.
  local link
  while IFS= read -r -d '' link; do
    rm -f "$link"
    mkdir -p "$link"
  done < <(find "$root/wineprefix/drive_c/users" -type l -print0)
  # Windows draws CJK letters in the windows' fonts from the CJK fonts linked
  # to them (SimSun among them); Debian's WenQuanYi stands in for SimSun, so
  # names in those letters show as letters, not boxes.
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /d 'WenQuanYi Micro Hei' \
    /f >/dev/null 2>&1
  # The drive types are read when Wine's services start.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  keep_server
  wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
  # Installed as a Windows user installs it: the setup, silently.
  demo_program="$root/wineprefix/drive_c/Program Files/Tolvar AntiVirus"
  local setup
  setup=$(built_setup "$repo_root/build/win")
  [ -n "$setup" ] || fail "no setup was built in build/win"
  echo "== installing with ${setup##*/} /S"
  run_setup "$setup" /S || fail "the setup $setup ended with code $?"
  [ -f "$demo_program/AntiVirus.exe" ] || fail "the setup did not install the program"
  cp "$repo_root/build/win/tools/scanner_bridge.exe" "$demo_program/bin/snr/1/9/clamscan.exe"
  cp "$repo_root/build/win/tools/freshclam_bridge.exe" "$demo_program/bin/snr/1/9/freshclam.exe"
  cp "$repo_root/build/win/tools/clamd_bridge.exe" "$demo_program/bin/snr/1/9/clamd.exe"
  start_demo_mirror "$root/mirror"
  # The bridge writes its report as clamscan.exe 1.4 does (the OEM code
  # page) unless told "utf8", as 1.5 does.
  export TOLVAR_BRIDGE_MODE="${TOLVAR_BRIDGE_MODE:-oem}"
}

# The demo's file with a name in many scripts, which the flow restores.
demo_named_file="samples/Mirebrook Downloads/Rechnung März счёт 請求書.com"

# The row (from 0) of the vault list that holds the record whose original
# path ends with TEXT; the records are those of virus_vault\records.gav.
vault_row_of() {
  python3 - "$(data_folder)/virus_vault/records.gav" "$1" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
for k in range(len(data) // 563):
    field = data[k * 563 + 256:k * 563 + 512]
    path = field[1:1 + field[0]].decode('utf-8', 'replace')
    if path.endswith(sys.argv[2]):
        print(k)
        break
PY
}

# Starts the installed program and sets demo_window to its main window's id
# ("" when none appeared). It runs in this shell, not in a command
# substitution, so that stop_program knows the program to stop: only one
# copy of the program runs at a time. The window of a program stopped just
# before may still be up for a while: the new program's window is another
# one (it comes after the splash).
demo_window=""
start_demo_program() {
  quiet_update_check
  local stale
  stale=$(xdotool search --name "^Tolvar AntiVirus\$" 2>/dev/null | tr '\n' ' ' || true)
  start_program wine "C:\\Program Files\\Tolvar AntiVirus\\AntiVirus.exe"
  demo_window=$(wait_for_main_window 60 "$stale") || demo_window=""
}

# A signed 32-bit field of the scan history at a byte offset.
history_int() {
  registry_int lsd "$1"
}

# A short string of a record of db\list.gav: FILE OFFSET [RECORD], the
# offset within the 563-byte record (256 the path, 512 the name).
dump_text() {
  local file=$1 offset=$(( $2 + 563 * ${3:-0} ))
  local length
  length=$(od -An -tu1 -j "$offset" -N1 "$file" | tr -d ' ')
  dd if="$file" bs=1 skip=$((offset + 1)) count="$length" 2>/dev/null
}

data_folder() {
  echo "$demo_root/wineprefix/drive_c/users/$(id -un)/AppData/Roaming/Mirebrook"
}

shoot() {
  local win=$1 file=$2 x y w h
  read -r x y w h < <(window_geometry "$win")
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$file"
}

# "Check Now for updates" on the Virus Database page, until the download
# window says the update is in; fails with the notice's reason otherwise.
update_databases() {
  local win=$1 out=$2 download="" notice
  # A first click may only bring the window forward.
  for _ in 1 2 3 4 5; do
    click_in "$win" $((5 + 86)) $((336 + 48))  # Virus Database
    sleep 0.7
    click_in "$win" $((178 + 488 + 52)) $((47 + 64 + 12))  # Check Now for updates
    download=$(wait_for_window "^Virus Database Update\$" 5) && break
  done
  [ -n "$download" ] || fail "no download window"
  for _ in $(seq 240); do
    [ "$(registry_int sysdata 788)" = 1 ] && break
    notice=$(xdotool search --onlyvisible --name "^Download Failed\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$notice" ]; then
      shoot "$notice" "$out/0_update_failed.png"
      fail "the update failed (see $out/0_update_failed.png)"
    fi
    sleep 0.5
  done
  [ "$(registry_int sysdata 788)" = 1 ] || fail "the update did not finish"
  sleep 0.5
  shoot "$download" "$out/0_updated.png"
  click_until_gone "$download" $((72 + 52)) $((186 + 16)) || fail "Close did not close the download window"
  click_in "$win" $((15 + 80)) $((72 + 44))  # Scan
  sleep 0.7
}

# The database folder as freshclam leaves it on a PC's second day, once the
# first day's update brought daily.cvd: the daily database patched into
# daily.cld, daily.cvd deleted. freshclam patches ClamAV's test databases
# only under their own name "test" (as "daily" it fails: "Can't open
# daily.info"), so the test.cld Debian's freshclam made by patching
# test-5.cvd with test-6.cdiff (scripts/make-patched-database.sh) stands in
# as daily.cld; it alone of the demo's databases holds the EICAR signature.
second_day_databases() {
  local db patched="$repo_root/build/clamav-patched/test.cld"
  db="$(data_folder)/db"
  [ -s "$patched" ] || fail "$patched is missing (scripts/make-patched-database.sh makes it)"
  cmp -s "$db/daily.cvd" "$demo_root/mirror/files/daily.cvd" ||
    fail "the first update did not install daily.cvd from the mirror"
  cp "$patched" "$db/daily.cld"
  rm -f "$db/daily.cvd"
}

# The whole headless flow: the signature update through ClamAV's updater,
# the database folder as on the next day (second_day_databases), a full
# scan, its result, the removal, the Results page, a restore from
# the vault of the file named in many scripts. Screenshots go to OUT.
run_headless_demo() {
  local out=$1 win prompt done
  mkdir -p "$out"
  [ "${TOLVAR_DEMO_ENGINE:-}" != clamd ] || choose_demo_clamd_port
  start_demo_program
  win=$demo_window
  [ -n "$win" ] || fail "the main window did not appear"
  sleep 1
  update_databases "$win" "$out"
  second_day_databases
  # clamd loads what the folder holds now: the second day's databases.
  [ "${TOLVAR_DEMO_ENGINE:-}" != clamd ] || start_demo_clamd
  click_in "$win" $((178 + 8 + 90)) $((47 + 320 + 25))  # Full Scan
  sleep 2
  shoot "$win" "$out/1_scanning.png"
  prompt=$(wait_for_window "^Infections Found\$" 600) || fail "the scan found nothing"
  sleep 0.5
  shoot "$prompt" "$out/2_infections_found.png"
  shoot "$win" "$out/3_scan_finished.png"
  click_until_gone "$prompt" $((72 + 50)) $((112 + 16)) || fail "Remove did not close the prompt"
  done=$(wait_for_window "^Removal Complete\$" 60) || fail "the removal did not finish"
  sleep 0.5
  shoot "$done" "$out/4_removal_done.png"
  click_until_gone "$done" $((130 + 50)) $((112 + 16)) || fail "OK did not close the done window"
  click_in "$win" $((15 + 80)) $((160 + 44))  # Results
  sleep 0.7
  shoot "$win" "$out/5_results_page.png"
  # The vault: restore its first record to where it was found.
  click_in "$win" $((5 + 86)) $((336 + 48))  # Virus Database
  sleep 0.7
  shoot "$win" "$out/6_vault.png"
  # The row of the file named in many scripts (rows are 16 pixels high).
  local row
  row=$(vault_row_of "${demo_named_file##*/}")
  [ -n "$row" ] || fail "no vault record of ${demo_named_file##*/}"
  click_in "$win" $((178 + 24 + 40)) $((47 + 186 + 16 * row + 8))  # its vault row
  sleep 0.3
  click_in "$win" $((178 + 24 + 44)) $((47 + 264 + 12))  # restore to original location
  sleep 1.5
  shoot "$win" "$out/7_restored.png"
}

# The demo user's Downloads folder, a folder of its own in the prefix.
demo_downloads() {
  echo "$demo_root/wineprefix/drive_c/users/$(id -un)/Downloads"
}

# Real-time protection, while the program runs with its engine loaded: the
# EICAR file lands in the demo user's Downloads folder as a browser leaves
# it (a partial download renamed at the end); it must be gone from there
# within 30 seconds, its copy in the vault and the event in the list of
# recent real-time events. Prints that line of the list.
realtime_demo() {
  local out=$1 downloads events line
  downloads=$(demo_downloads)
  events="$(data_folder)/realtime_events.txt"
  mkdir -p "$downloads"
  printf '%s' 'X5O!P%@AP[4\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*' \
    >"$downloads/invoice.pdf.exe.crdownload"
  mv "$downloads/invoice.pdf.exe.crdownload" "$downloads/invoice.pdf.exe"
  for _ in $(seq 300); do
    [ -e "$downloads/invoice.pdf.exe" ] || break
    sleep 0.1
  done
  [ ! -e "$downloads/invoice.pdf.exe" ] ||
    fail "real-time protection left the EICAR file in Downloads for 30 seconds"
  for _ in $(seq 50); do
    line=$(grep -a 'invoice.pdf.exe' "$events" 2>/dev/null | tail -1 || true)
    [ -n "$line" ] && break
    sleep 0.1
  done
  [ -n "$line" ] || fail "no real-time event lists invoice.pdf.exe"
  case "$line" in
    *$'\tquarantined\t'*) ;;
    *) fail "the real-time event says: $line" ;;
  esac
  ls "$(data_folder)/virus_vault/" | grep -q 'invoice.pdf.exe$' ||
    fail "no copy of invoice.pdf.exe in the vault"
  import -window root "$out/8_realtime_quarantined.png" 2>/dev/null || true
  printf '%s\n' "$line" | tr '\t' ' ' | tr -d '\r'
}

# Scans from Explorer's menu while the program runs. The command the setup
# registered for folders (its "%1" the demo folder D:\explorer_demo, which
# holds the EICAR file) hands the folder to the running program through
# TolvarScan.exe, which ends; the program scans it and offers the removal,
# declined here. Then a second start, "AntiVirus.exe /scan" with a file and
# a folder, ends at once, and the running program scans both in one scan,
# which finds nothing. Prints the first scan's result.
explorer_scan_demo() {
  local out=$1 folder="$demo_root/data/explorer_demo" scans command prompt result helper finished width
  mkdir -p "$folder/sub"
  printf '%s' 'X5O!P%@AP[4\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*' >"$folder/setup.exe"
  echo "clean" >"$folder/readme.txt"
  echo "clean" >"$folder/sub/notes.txt"
  command=$(wine reg query 'HKCR\Directory\shell\TolvarAntiVirus.Scan\command' /ve 2>/dev/null |
    sed -n 's/.*REG_SZ[[:space:]]*//p' | tr -d '\r')
  case "$command" in
    *'\TolvarScan.exe" /scan "%1"') ;;
    *) fail "Explorer's verb for folders is '$command'" ;;
  esac
  helper=${command%\" /scan*}
  helper=${helper#\"}
  scans=$(history_int 12)
  timeout 60 wine "$helper" /scan 'D:\explorer_demo' >/dev/null 2>&1 ||
    fail "TolvarScan.exe did not hand D:\\explorer_demo to the running program"
  prompt=$(wait_for_window "^Infections Found\$" 120) || fail "the scan from Explorer's menu found nothing"
  sleep 0.5
  shoot "$prompt" "$out/9_explorer_scan.png"
  [ "$(history_int 12)" = $((scans + 1)) ] || fail "the scan from Explorer's menu was not one scan"
  result="D:\\explorer_demo: $(history_int 24) items scanned, $(history_int 60) infection(s) found"
  click_until_gone "$prompt" $((189 + 50)) $((112 + 16)) || fail "No did not close the prompt"
  [ -e "$folder/setup.exe" ] || fail "the declined removal removed setup.exe"

  timeout 60 wine "C:\\Program Files\\Tolvar AntiVirus\\AntiVirus.exe" /scan \
    'D:\explorer_demo\readme.txt' 'D:\explorer_demo\sub' >/dev/null 2>&1 ||
    fail "a second AntiVirus.exe /scan did not end after handing its paths over"
  finished=$(wait_for_window "^Scan Complete\$" 120) || fail "the second start's paths were not scanned"
  [ "$(history_int 12)" = $((scans + 2)) ] || fail "the second start's paths were not one scan"
  [ "$(history_int 24)" = 2 ] || fail "the second start's scan scanned $(history_int 24) items, not 2"
  read -r _ _ width _ < <(window_geometry "$finished")
  click_until_gone "$finished" $((width / 2)) $((112 + 16)) || true
  printf '%s\n' "$result"
}
