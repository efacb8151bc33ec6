# What the whole-program benchmarks share; sourced by them.

# Microseconds since the epoch, without starting a process (the polling
# runs beside the program being measured).
now_us() {
  local t=$EPOCHREALTIME
  echo "${t//[!0-9]/}"
}

# user + system CPU ticks of a process, all its threads together; 0 once it
# is gone.
cpu_ticks() {
  local stat
  read -r stat <"/proc/$1/stat" || { echo 0; return; }
  # The name in parentheses may hold blanks; the fields after it may not.
  set -- ${stat##*") "}
  echo $(( ${12} + ${13} ))
}

# The Linux process of a Windows program of the given name started in the
# session SID (Wine names its processes after their executables).
session_process() {
  local sid=$1 name=$2
  ps -e -o pid=,sid=,comm= | awk -v sid="$sid" -v name="$name" \
    '$2 == sid && $3 == name { print $1; exit }'
}

# The Windows name of a file under / (Wine's Z: drive).
windows_path() {
  echo "Z:${1//\//\\}"
}

# A loopback port nobody listens on now.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Whether the clamd at 127.0.0.1:PORT answers PING with PONG.
clamd_answers() {
  python3 - "$1" <<'PY'
import socket, sys
try:
    s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=1)
    s.sendall(b"zPING\0")
    sys.exit(0 if s.recv(16).startswith(b"PONG") else 1)
except OSError:
    sys.exit(1)
PY
}
