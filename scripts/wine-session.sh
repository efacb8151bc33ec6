# Sourced by test.sh and run.sh: a private Xvfb display and a Wine prefix for
# one run, both stopped again by stop_session (called from an EXIT trap).

xvfb_pid=""
session_prefix=""

# Starts Xvfb on a display it picks itself, so two runs never collide, and
# exports DISPLAY.
start_display() {
  local fifo dir
  dir=$(mktemp -d)
  fifo="$dir/display"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  local number
  if ! read -r -t 30 number <"$fifo"; then
    rm -rf "$dir"
    echo "Xvfb did not start" >&2
    return 1
  fi
  rm -rf "$dir"
  export DISPLAY=":$number"
}

# Makes the Wine prefix ready and keeps its server running until the session
# ends, so each program started meanwhile skips the server's start-up.
# With "fresh" the prefix is made anew, so no run inherits another's registry.
prepare_prefix() {
  local prefix=$1 mode=${2:-keep}
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  session_prefix=$prefix
  if [ "$mode" = fresh ]; then
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
  fi
  if [ ! -f "$prefix/system.reg" ]; then
    echo "== preparing the Wine prefix $prefix"
    mkdir -p "$(dirname "$prefix")"
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w
    [ -f "$prefix/system.reg" ] || { echo "could not set up the Wine prefix $prefix" >&2; return 1; }
    # No window manager runs on our own Xvfb: Wine manages its windows
    # itself, or each hide waits two seconds for a window manager that never
    # answers.
    if [ -n "$xvfb_pid" ]; then
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
      wineserver -w
    fi
  fi
  keep_server
  # Wine's own services start with the first program and stay as long as the
  # server; started here, they hold no test's output pipe open (ctest waits
  # for the pipe to close before it counts a test as ended).
  wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
}

# Starts the prefix's server for as long as the session runs. A server that
# some Wine process started on its own meanwhile (a process being started as
# the last server was ended starts a new one) makes "wineserver -p" end with
# code 2 and no word: that server is ended and ours started again.
keep_server() {
  local try
  for try in 1 2 3; do
    wineserver -p && return 0
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  done
  echo "the Wine server of $WINEPREFIX could not be started" >&2
  return 1
}

stop_session() {
  if [ -n "$session_prefix" ]; then
    WINEPREFIX="$session_prefix" wineserver -k 2>/dev/null || true
    session_prefix=""
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}
