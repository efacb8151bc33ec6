#!/usr/bin/env bash
# The scanner bridge speaks like the Windows clamscan.exe it stands in for:
# in its default mode the report is in the system's OEM code page with "?"
# for each letter that page lacks (clamscan.exe 1.4), in "utf8" mode it is
# UTF-8 (1.5); paths below a network share come back as
# "\\?\UNC\server\share\..."; a --file-list names the folders in UTF-8, and
# one that cannot be read ends the scan with clamscan's code 54.
# Usage: bridge_test.sh WINE_RUN BRIDGE_EXE REPO_ROOT WORK_DIR
set -euo pipefail
wine_run=$1
bridge=$2
repo_root=$3
work=$4
source "$repo_root/tests/e2e/lib.sh"
prefix=$(sed -n 's/^export WINEPREFIX="\(.*\)"$/\1/p' "$wine_run")
share="$prefix/dosdevices/unc/tolvarsrv"
cleanup() { rm -rf "$share"; }
trap cleanup EXIT

rm -rf "$work"
mkdir -p "$work"
bash "$repo_root/tools/demo/make_demo_data.sh" "$work/data" >/dev/null
# ClamAV's own signed test database (fetched by the build scripts) detects
# the EICAR file; the bridge loads every file of this folder.
tests="$repo_root/build/clamav-testfiles"
[ -s "$tests/test-6.cvd" ] || fail "ClamAV's test databases are missing in $tests"
mkdir -p "$work/signatures"
cp "$tests/test-6.cvd" "$work/signatures/daily.cvd"
export TOLVAR_DEMO_SIGNATURES="$work/signatures"
samples="$work/data/samples"
# Z: is the whole Linux file system.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

oem=$("$wine_run" reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v OEMCP 2>/dev/null |
  tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p')
echo "the system's OEM code page: $oem"
case "$oem" in
  437 | 850) ;;
  *) fail "the prefix's OEM code page is $oem; this test expects 437 or 850" ;;
esac

run_bridge() {  # MODE OUT ARGS...: the report's bytes to OUT; prints the exit code
  local mode=$1 out=$2 rc=0
  shift 2
  TOLVAR_BRIDGE_MODE=$mode "$wine_run" "$bridge" --recursive "$@" >"$out" 2>/dev/null || rc=$?
  echo "$rc"
}

# "Rechnung März счёт 請求書.com": ä is 0x84 in both OEM pages, the Cyrillic
# and CJK letters are in neither.
downloads=$(windows_path "$samples/Mirebrook Downloads")
rc=$(run_bridge oem "$work/oem.txt" "$downloads\\")
[ "$rc" = 1 ] || fail "OEM mode: exit code $rc, expected 1 (found)"
grep -aqF "$(printf 'Rechnung M\x84rz ???? ???.com: Eicar-Test-Signature')" "$work/oem.txt" ||
  fail "OEM mode: no detection line in the OEM code page: $(cat -v "$work/oem.txt")"
grep -aqF "$(printf 'caf\x82 men\x81.txt: OK')" "$work/oem.txt" ||
  fail "OEM mode: no clean line in the OEM code page: $(cat -v "$work/oem.txt")"

rc=$(run_bridge utf8 "$work/utf8.txt" "$downloads\\")
[ "$rc" = 1 ] || fail "UTF-8 mode: exit code $rc, expected 1"
grep -qF 'Mirebrook Downloads\Rechnung März счёт 請求書.com: Eicar-Test-Signature' "$work/utf8.txt" ||
  fail "UTF-8 mode: no detection line in UTF-8: $(cat -v "$work/utf8.txt")"

# A network share, as Wine serves one: dosdevices/unc/SERVER/SHARE.
mkdir -p "$share"
ln -sfn "$samples" "$share/share"
rc=$(run_bridge utf8 "$work/unc.txt" '\\tolvarsrv\share\')
[ "$rc" = 1 ] || fail "share: exit code $rc, expected 1: $(cat -v "$work/unc.txt")"
grep -qF '\\?\UNC\tolvarsrv\share\Mirebrook Downloads\Rechnung März счёт 請求書.com: Eicar' \
  "$work/unc.txt" || fail "share: not reported as \\\\?\\UNC\\...: $(cat -v "$work/unc.txt")"
if grep -v '^\\\\?\\UNC\\' "$work/unc.txt" | grep -q ': OK'; then
  fail "share: a clean line not in the \\\\?\\UNC\\ form: $(cat -v "$work/unc.txt")"
fi

# A file list in UTF-8 carries a folder the ANSI command line cannot.
printf '%s\\\n' "$(windows_path "$samples/Фото")" >"$work/list.txt"
rc=$(run_bridge oem "$work/list-out.txt" "--file-list=$(windows_path "$work/list.txt")")
[ "$rc" = 0 ] || fail "file list: exit code $rc, expected 0: $(cat -v "$work/list-out.txt")"
grep -aqF '\????\??????.txt: OK' "$work/list-out.txt" ||
  fail "file list: the folder was not scanned: $(cat -v "$work/list-out.txt")"
rc=$(run_bridge oem "$work/nolist.txt" "--file-list=$(windows_path "$work/missing.txt")")
[ "$rc" = 54 ] || fail "missing file list: exit code $rc, expected 54"
grep -q '^ERROR: --file-list: Can.t open file' "$work/nolist.txt" ||
  fail "missing file list: no ERROR line: $(cat -v "$work/nolist.txt")"

echo "PASS: the bridge writes OEM and UTF-8 reports, \\\\?\\UNC\\ paths and reads file lists"
