#!/usr/bin/env bash
# Makes the demonstration data for running the program under Wine with the
# scanner bridge: a harmless EICAR test file and sample folders to scan. The
# signatures that detect it are ClamAV's own signed test database, which
# the program fetches through ClamAV's updater from the local test mirror.
#
#   make_demo_data.sh DIR [N]
#
#   DIR/eicar.com               the EICAR test file (68 bytes, no newline)
#   DIR/samples/                clean files in nested folders (one name with
#                               a blank, one named FOUND.000, names with
#                               é, ü, ß, Cyrillic and CJK letters),
#                               downloads/eicar.com and a copy of it named
#                               "Mirebrook Downloads/Rechnung März счёт 請求書.com"
#   DIR/bigtree/                with N: N clean files in nested folders, a
#                               scan that lasts long enough to be stopped
#
# Running it again rewrites the same content, so it can run before every test.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 DIR [NUMBER-OF-FILES-IN-BIGTREE]" >&2
  exit 2
fi
dir=$1
count=${2:-}
if [ -n "$count" ] && ! [[ $count =~ ^[0-9]+$ ]]; then
  echo "$0: the number of files must be a whole number, not '$count'" >&2
  exit 2
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

# The published EICAR string; printf '%s' keeps every character as it is and
# adds no newline, so the file has the 68 bytes scanners know.
eicar='X5O!P%@AP[4\PZX54(P^)7CC)7}$EICAR-STANDARD-ANTIVIRUS-TEST-FILE!$H+H*'
printf '%s' "$eicar" >"$dir/eicar.com"
if [ "$(wc -c <"$dir/eicar.com")" -ne 68 ]; then
  echo "$0: the EICAR file came out with the wrong size" >&2
  exit 1
fi

# The samples: a tree as a user's folders might look, with names that need
# quoting (a blank) and one that looks like a scanner's own output (FOUND.000).
samples=$dir/samples
mkdir -p "$samples/My Documents/Letters" "$samples/My Documents/Notes" \
  "$samples/FOUND.000" "$samples/downloads" "$samples/Pictures/2024"
printf 'Tolvar AntiVirus demonstration folder.\r\nEvery file here is harmless.\r\n' \
  >"$samples/readme.txt"
printf 'Dear Anna,\r\nthe meeting moves to Thursday.\r\nBest, Tom\r\n' \
  >"$samples/My Documents/Letters/meeting.txt"
printf 'Invoice 2024-117\r\nTotal: 420.00 EUR\r\n' >"$samples/My Documents/Letters/invoice.txt"
printf -- '- buy milk\n- call the garage\n- back up the laptop\n' \
  >"$samples/My Documents/Notes/todo.txt"
printf 'recovered cluster chain, 512 bytes of zeros follow\n' >"$samples/FOUND.000/FILE0000.CHK"
head -c 512 /dev/zero >>"$samples/FOUND.000/FILE0000.CHK"
printf 'setup notes: run the installer, then restart\n' >"$samples/downloads/setup-notes.txt"
printf 'P3\n2 1\n255\n255 0 0  0 0 255\n' >"$samples/Pictures/2024/tiny.ppm"
cp -f "$dir/eicar.com" "$samples/downloads/eicar.com"

# Names in many scripts, as a user's files have them: a scanner that writes
# its report in the OEM code page (clamscan.exe before 1.5) writes "?" for
# the Cyrillic and CJK letters, so the program must find these files again.
# The folder's name holds the program's own folder name, which once hid every
# detection inside it.
mkdir -p "$samples/Mirebrook Downloads" "$samples/Фото" "$samples/日本語"
cp -f "$dir/eicar.com" "$samples/Mirebrook Downloads/Rechnung März счёт 請求書.com"
printf 'Tagesmenü im Café: Suppe, Brot\r\n' >"$samples/Mirebrook Downloads/café menü.txt"
printf 'Hauptstraße 12, 10115 Berlin\r\n' >"$samples/My Documents/Notes/Straße.txt"
printf 'Привет из отпуска\n' >"$samples/Фото/Привет.txt"
printf '買い物リスト\n' >"$samples/日本語/メモ.txt"

# The big tree: COUNT files, 100 to a folder, 10 folders to a parent folder.
# Made again only when COUNT changed (the count is kept beside the tree, not
# in it, so it is not scanned), since writing many files takes time.
if [ -n "$count" ]; then
  big=$dir/bigtree
  marker=$dir/.bigtree-count
  if [ ! -d "$big" ] || [ "$(cat "$marker" 2>/dev/null || true)" != "$count" ]; then
    rm -rf "$big"
    for ((i = 0; i < count; i++)); do
      sub=$big/part$((i / 1000))/folder$((i / 100 % 10))
      if ((i % 100 == 0)); then mkdir -p "$sub"; fi
      printf 'clean demonstration file number %d\n' "$i" >"$sub/file$i.txt"
    done
    mkdir -p "$big"
    printf '%s\n' "$count" >"$marker"
  fi
fi

echo "demo data in $dir"
