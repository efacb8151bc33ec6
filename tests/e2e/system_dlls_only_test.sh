#!/usr/bin/env bash
# The program must run from its folder alone: every DLL it imports is part
# of Windows itself, none is a library we build against. The download
# libraries (URLMON, WININET) are not imported at all: the program runs
# elevated and loads them from the system folder itself, so a DLL of that
# name planted beside it is never used.
# Usage: system_dlls_only_test.sh OBJDUMP EXE...
set -euo pipefail
objdump=$1
shift
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|ole32|oleaut32|advapi32|msvcrt|ws2_32|iphlpapi|shlwapi|version|uxtheme)\.dll$'
status=0
for exe in "$@"; do
  while read -r dll; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
      echo "FAIL: $(basename "$exe") needs $dll beside it"
      status=1
    fi
  done < <("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
done
[ "$status" = 0 ] && echo "PASS: only system DLLs imported"
exit "$status"
