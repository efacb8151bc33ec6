#!/usr/bin/env bash
# A signature set the size of ClamAV's official database, made at benchmark
# time (never committed): 4,000,000 MD5 hash signatures (bench.hdb, lines
# "md5:size:name") and 200,000 body signatures with wildcards (bench.ndb,
# lines "name:0:*:hex" whose hex holds "??" and "*"), all of random bytes,
# so they load and are matched as real ones are, but detect nothing. Then
# Debian's clamscan loads it once, to show it takes the set whole, and the
# time and peak memory that takes are printed.
#
#   bench/make_large_database.sh
#
# Environment:
#   BENCH_DB_DIR      where the set goes, build/bench-db unless set
#                     (relative to the repository); an existing set of the
#                     same sizes is kept
#   BENCH_HASHES      the number of hash signatures, 4000000 unless set
#   BENCH_BODIES      the number of body signatures, 200000 unless set
#
# Prints the generator's time, the files' sizes, and clamscan's signature
# count, load time (wall and CPU) and peak memory (/usr/bin/time -v).
# Exit status: 0 when clamscan loaded every signature, 1 when it loaded
# another number, 2 when it could not run.
set -Eeuo pipefail
trap 'echo "make_large_database: failed at line $LINENO: $BASH_COMMAND" >&2; exit 2' ERR

repo_root=$(cd "$(dirname "$0")/.." && pwd)
dir=${BENCH_DB_DIR:-build/bench-db}
case "$dir" in
  /*) ;;
  *) dir="$repo_root/$dir" ;;
esac
hashes=${BENCH_HASHES:-4000000}
bodies=${BENCH_BODIES:-200000}

command -v clamscan >/dev/null || { echo "clamscan is not installed" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is not installed (Debian's package time)" >&2; exit 2; }
mkdir -p "$dir"

stamp="$dir/sizes"
if [ -s "$dir/bench.hdb" ] && [ -s "$dir/bench.ndb" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$hashes $bodies" ]; then
  echo "== keeping the set in $dir ($hashes hash and $bodies body signatures)"
else
  echo "== generating $hashes hash and $bodies body signatures into $dir"
  rm -f "$stamp"
  start=$(date +%s.%N)
  python3 - "$dir" "$hashes" "$bodies" <<'PY'
import os
import random
import sys

folder, hashes, bodies = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(20260101)

# Hash signatures: a random MD5, a file size as real files have (a few
# hundred bytes to some megabytes), a name in ClamAV's style. Written in
# blocks, each block's digests from one call for speed.
block = 100000
with open(os.path.join(folder, "bench.hdb.tmp"), "w", buffering=1 << 20) as out:
    for first in range(0, hashes, block):
        n = min(block, hashes - first)
        digests = os.urandom(16 * n).hex()
        sizes = [rng.randrange(300, 8 << 20) for _ in range(n)]
        out.write("".join(
            f"{digests[32 * k:32 * k + 32]}:{sizes[k]}:Tolvar.Bench.Hash-{first + k}\n"
            for k in range(n)))
os.replace(os.path.join(folder, "bench.hdb.tmp"), os.path.join(folder, "bench.hdb"))

# Body signatures: two to four runs of random bytes (8 to 24 each), joined
# by "*" (any number of bytes) or a fixed gap of "??" bytes, with now and
# then a single "??" inside a run, as real body signatures have.
def run():
    data = os.urandom(rng.randrange(8, 25)).hex()
    if rng.random() < 0.3:
        at = 2 * rng.randrange(4, len(data) // 2 - 3)
        data = data[:at] + "??" + data[at + 2:]
    return data

with open(os.path.join(folder, "bench.ndb.tmp"), "w", buffering=1 << 20) as out:
    for k in range(bodies):
        parts = [run() for _ in range(rng.randrange(2, 5))]
        hex_text = parts[0]
        for part in parts[1:]:
            hex_text += "*" if rng.random() < 0.5 else "??" * rng.randrange(1, 5)
            hex_text += part
        out.write(f"Tolvar.Bench.Body-{k}:0:*:{hex_text}\n")
os.replace(os.path.join(folder, "bench.ndb.tmp"), os.path.join(folder, "bench.ndb"))
PY
  end=$(date +%s.%N)
  echo "$hashes $bodies" >"$stamp"
  awk -v a="$start" -v b="$end" 'BEGIN { printf "generated in %.1f s\n", b - a }'
fi
ls -l "$dir/bench.hdb" "$dir/bench.ndb" | awk '{printf "%-40s %6.1f MB\n", $NF, $5 / 1e6}'

echo "== Debian's clamscan loading the set (one small clean file scanned)"
sample="$dir/clean.txt"
echo "nothing to find here" >"$sample"
log="$dir/clamscan-time.txt"
set +e
/usr/bin/time -v clamscan --database="$dir" "$sample" >"$dir/clamscan-report.txt" 2>"$log"
rc=$?
set -e
loaded=$(sed -n 's/^Known viruses: //p' "$dir/clamscan-report.txt")
wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$log")
user=$(sed -n 's/.*User time (seconds): //p' "$log")
system=$(sed -n 's/.*System time (seconds): //p' "$log")
peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log")
echo "clamscan exit code:  $rc"
echo "signatures loaded:   ${loaded:-none} (of $((hashes + bodies)))"
echo "wall time:           $wall (m:ss)"
echo "CPU time:            ${user}s user, ${system}s system"
echo "peak memory:         $((${peak:-0} / 1024)) MB"
[ "$rc" = 0 ] || { cat "$dir/clamscan-report.txt" "$log" >&2; exit 2; }
[ "${loaded:-0}" = $((hashes + bodies)) ] || exit 1
