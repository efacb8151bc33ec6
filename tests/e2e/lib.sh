# Helpers for driving the program under Xvfb and Wine from a test script.
# Needs DISPLAY (the test run's Xvfb), xdotool and ImageMagick.

program_pid=""

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A command that ends a test script under "set -e" says nothing of its own:
# the script names it.
set -o errtrace
trap 'echo "FAIL: line $LINENO of ${BASH_SOURCE[0]##*/} ended with code $?: $BASH_COMMAND" >&2' ERR

# Starts a Windows program in a session of its own, so that stopping it
# ends every process Wine started for it.
# Arguments after the program's are passed to it.
start_program() {
  local wine_run=$1 exe=$2
  setsid "$wine_run" "$exe" "${@:3}" >/dev/null 2>&1 &
  program_pid=$!
}

stop_program() {
  [ -n "$program_pid" ] || return 0
  kill -TERM -- "-$program_pid" 2>/dev/null || true
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.3
  done
  kill -KILL -- "-$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
  program_pid=""
}

# Prints the id of the first visible window whose name matches the regular
# expression, waiting up to the given seconds.
wait_for_window() {
  local pattern=$1 seconds=$2 id
  for _ in $(seq $((seconds * 4))); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.25
  done
  return 1
}

# Prints the id of the main window, waiting up to the given seconds. Window
# names match without regard to case, so the main window ("Tolvar
# AntiVirus") is told from a message box ("Tolvar Antivirus") by its size.
# Windows whose ids the optional second argument lists (a stopped program's
# window can linger for some seconds) are passed over.
wait_for_main_window() {
  local seconds=$1 skip=" ${2:-} " id mw mh
  for _ in $(seq $((seconds * 4))); do
    for id in $(xdotool search --onlyvisible --name "^Tolvar AntiVirus\$" 2>/dev/null || true); do
      [[ $skip == *" $id "* ]] && continue
      read -r _ _ mw mh < <(window_geometry "$id")
      if [ "$mw" = 792 ] && [ "$mh" = 442 ]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.25
  done
  return 1
}

# Prints "x y width height" of a window.
window_geometry() {
  local x y w h
  eval "$(xdotool getwindowgeometry --shell "$1")"
  x=$X y=$Y w=$WIDTH h=$HEIGHT
  echo "$x $y $w $h"
}

screen_size() {
  xdotool getdisplaygeometry
}

screenshot() {
  import -window root "$1"
}

# Prints the colour of one pixel of a picture as "r,g,b".
pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:
}

# Prints the colour of one pixel of the screen as "r,g,b".
pixel_of_screen() {
  local shot
  shot=$(mktemp --suffix=.png)
  import -window root -crop "1x1+$1+$2" +repage "$shot"
  pixel "$shot" 0 0
  rm -f "$shot"
}

# The serial of today's date (days since 30 December 1899).
today_serial() {
  echo $(( $(date +%s) / 86400 + 25569 ))
}

# Stores a settings record whose update schedule is "Never Check" and whose
# last update was yesterday, so the scheduled update prompt stays away from
# a test that is about something else. Needs WINEPREFIX and a running
# wineserver.
quiet_update_check() {
  local hex
  hex=$(python3 - "$(today_serial)" <<'PY'
import struct, sys
record = bytearray(808)
record[781] = 4                                    # Never Check
record[792:800] = struct.pack('<d', float(sys.argv[1]) - 1)
print(record.hex())
PY
)
  wine reg add 'HKLM\Software\Mirebrook\AntiVirus\sysdata' /ve /t REG_BINARY /d "$hex" \
    /reg:32 /f >/dev/null 2>&1
}

# Stores real-time protection's check box (on or off) as the Protection
# window does; with it off, Close ends the program, with it on the program
# stays in the tray. A later Close with it on tells so again, as the first.
store_realtime() {
  wine reg add 'HKLM\Software\Mirebrook\AntiVirus\watch' /v Enabled /t REG_DWORD \
    /d "$([ "$1" = on ] && echo 1 || echo 0)" /reg:32 /f >/dev/null 2>&1
  wine reg delete 'HKLM\Software\Mirebrook\AntiVirus\watch' /v TrayNoticeShown \
    /reg:32 /f >/dev/null 2>&1 || true
}

# A signed 32-bit little-endian field of a binary value of the program's
# registry key: NAME OFFSET ("?" when the value is shorter).
registry_int() {
  local name=$1 offset=$2 bytes
  mapfile -t bytes < <(wine reg query "HKLM\\Software\\Mirebrook\\AntiVirus\\$name" /ve /reg:32 \
    2>/dev/null | sed -n 's/.*REG_BINARY[[:space:]]*//p' | tr -d '\r' | fold -w2)
  [ "${#bytes[@]}" -ge $((offset + 4)) ] || { echo "?"; return; }
  local value=$(( 16#${bytes[offset + 3]}${bytes[offset + 2]}${bytes[offset + 1]}${bytes[offset]} ))
  (( value >= 2147483648 )) && value=$(( value - 4294967296 ))
  echo "$value"
}

# Clicks at (x, y) of a window.
click_in() {
  local win=$1 x=$2 y=$3 wx wy
  read -r wx wy _ _ < <(window_geometry "$win")
  xdotool mousemove $((wx + x)) $((wy + y)) click 1
}

# Clicks a button of a message window until the window has gone (a first
# click can be taken for activating the window).
click_until_gone() {
  local win=$1 x=$2 y=$3 wx wy
  read -r wx wy _ _ < <(window_geometry "$win")
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove $((wx + x)) $((wy + y))
    sleep 0.3
    xdotool click 1
    sleep 0.7
    xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$win" || return 0
  done
  return 1
}

# Clicks the main window's Close button at its window position (x, y) and
# fails unless the program then ends.
close_by_button() {
  xdotool mousemove $(($1 + 757 + 9)) $(($2 + 16 + 9)) click 1
  for _ in $(seq 40); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.25
  done
  ! kill -0 "$program_pid" 2>/dev/null || fail "the program still runs after its Close button"
  program_pid=""
}
