# The setup in a Wine prefix, for the setup's own tests and the demo: run it,
# read what it registered, wait for its uninstaller. Needs lib.sh (sourced),
# WINEPREFIX and a running wineserver.

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvar AntiVirus'

# The setup the Windows build in FOLDER made (the newest, should several
# versions lie there).
built_setup() {
  ls -t "$1"/Tolvar-AntiVirus-*-Setup.exe 2>/dev/null | head -n 1
}

# run_setup SETUP ARGUMENTS...: runs the setup to its end and returns its
# exit code.
run_setup() {
  wine "$@" </dev/null >/dev/null 2>&1
}

# A value of the uninstall entry in the registry view Windows reads for a
# 64-bit program, as reg shows it ("" when there is none).
uninstall_value() {
  wine reg query "$uninstall_key" /v "$1" /reg:64 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}

# Waits up to SECONDS for the uninstaller, which goes on in a copy of its
# own in the temporary folder, to finish: its entry and the program folder
# (the Linux path given) gone, and the copy ended.
wait_uninstalled() {
  local folder=$1 seconds=$2
  for _ in $(seq $((seconds * 2))); do
    if [ -z "$(uninstall_value DisplayName)" ] && [ ! -e "$folder" ] &&
      ! pgrep -f 'Un_A\.exe' >/dev/null; then
      return 0
    fi
    sleep 0.5
  done
  return 1
}

# The version in a program's version resource, "major.minor.patch.build".
file_version() {
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
at = data.find(struct.pack('<I', 0xFEEF04BD))
if at < 0:
    sys.exit('no version resource in ' + sys.argv[1])
ms, ls = struct.unpack_from('<II', data, at + 8)
print(f'{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}')
PY
}

# True when an access list in the system's text form ("O:<owner>D:<list>")
# lets in no one but the Administrators, SYSTEM and the owner (an entry that
# denies, as the vault's denial of running its files to everyone, lets no
# one in).
only_writers() {
  python3 - "$1" <<'PY'
import re, sys
text = sys.argv[1]
owner = re.match(r'O:([^D]+)D:', text)
entries = re.findall(r'\(([^)]*)\)', text)
if not owner or not entries:
    sys.exit(1)
allowed = {'BA', 'SY', 'S-1-5-32-544', 'S-1-5-18', owner.group(1)}
sys.exit(0 if all(e.split(';')[0] == 'D' or e.split(';')[5] in allowed for e in entries) else 1)
PY
}

# True when an access list in the system's text form lets no one but the
# Administrators, SYSTEM and the owner change the object: others may at
# most read it (Wine gives a file its "others" as an entry for everyone).
closed_to_others() {
  python3 - "$1" <<'PY'
import re, sys
text = sys.argv[1]
owner = re.match(r'O:([^D]+)D:', text)
entries = re.findall(r'\(([^)]*)\)', text)
if not owner or not entries:
    sys.exit(1)
allowed = {'BA', 'SY', 'S-1-5-32-544', 'S-1-5-18', owner.group(1)}
# The rights that change an object: write and append data, write extended
# attributes and attributes, delete a child, delete, write the list or the
# owner, generic write and all.
changing = 0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000
reading = {'FR', 'FX', 'GR', 'GX', 'RC', 'LC', 'LO', 'RP', 'SW', 'CR'}
def changes(rights):
    if rights.lower().startswith('0x'):
        return int(rights, 16) & changing != 0
    codes = [rights[i:i + 2] for i in range(0, len(rights), 2)]
    return any(code not in reading for code in codes)
for entry in entries:
    kind, _, rights, _, _, sid = entry.split(';')[:6]
    if kind == 'A' and sid not in allowed and changes(rights):
        sys.exit(1)
sys.exit(0)
PY
}
