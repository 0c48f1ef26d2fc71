#!/usr/bin/env bash
# Inside the sandbox: one 200 MiB file (TF_BENCH_MIB) fetched by the transfer engine whole, cut at
# 90% once and continued with a range, and cut at 90% once from a server without ranges (so it
# starts over), side by side in one run: TF_BENCH_ROUNDS rounds (default 5), interleaved, their
# order turned each round. Prints best-of-N and median of each, the ratios to the whole download
# and the machine's load (two cores shared with others: read the ratios, not the times).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=$TF_RUN_DIR/bench_resume
rm -rf "$dir" && mkdir -p "$dir/docroot" "$dir/out"
mib=${TF_BENCH_MIB:-200}
rounds=${TF_BENCH_ROUNDS:-5}
size=$((mib * 1024 * 1024))
cut=$((size / 10 * 9))
head -c "$size" /dev/urandom >"$dir/docroot/whole.bin"
ln -s whole.bin "$dir/docroot/resumed.bin"
ln -s whole.bin "$dir/docroot/restarted.bin"
echo '{}' >"$dir/faults.json"

python3 "$root/tools/vendor_server.py" --docroot "$dir/docroot" --log "$dir/requests.jsonl" \
  --faults "$dir/faults.json" >"$dir/server.out" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true; rm -rf "$dir"' EXIT
timeout 30 python3 "$root/tests/e2e/vendor.py" wait

win_out="Z:$(tr / '\\' <<<"$dir/out")"
tool=$TF_WIN_BUILD/tools/bench_download.exe

# The cut holds for the first request of each path; a changed fault file counts afresh.
set_faults() {  # round
  cat >"$dir/faults.tmp" <<EOF
{"/resumed.bin": {"fault": "cut", "at": $cut, "times": 1},
 "/restarted.bin": [{"fault": "cut", "at": $cut, "times": 1, "ranges": "off"}, {"ranges": "off"}],
 "round": $1}
EOF
  mv "$dir/faults.tmp" "$dir/faults.json"
}

run() {  # name -> ms
  rm -f "$dir/out/$1.bin"
  local line
  line=$(timeout 600 "$WINE" "$tool" engine "https://$TF_VENDOR_HOST/$1.bin" "$win_out" | tr -d '\r')
  cmp -s "$dir/out/$1.bin" "$dir/docroot/whole.bin" || { echo "$1: file differs ($line)" >&2; exit 1; }
  sed -E 's/^ms=([0-9]+) .*/\1/' <<<"$line"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
declare -A times=([whole]= [resumed]= [restarted]=)
for ((round = 1; round <= rounds; round++)); do
  set_faults "$round"
  order=(whole resumed restarted)
  ((round % 2 == 0)) && order=(restarted resumed whole)
  line="round $round:"
  for name in "${order[@]}"; do
    ms=$(run "$name")
    times[$name]+="$ms "
    line+=" $name ${ms} ms"
  done
  echo "$line"
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

python3 - "$mib" "$load_before" "$load_after" "${times[whole]}" "${times[resumed]}" "${times[restarted]}" \
  "$dir/requests.jsonl" <<'PY'
import json, statistics, sys
mib, load_before, load_after = sys.argv[1], sys.argv[2], sys.argv[3]
whole, resumed, restarted = ([int(x) for x in a.split()] for a in sys.argv[4:7])
ranged = [r for r in map(json.loads, open(sys.argv[7])) if any(k == "Range" for k, _ in r["headers"])]
print(f"{mib} MiB, cut at 90% once; {len(whole)} rounds; load average {load_before} before, {load_after} after")
print(f"{'':34}{'best':>9}{'median':>9}")
for name, t in (("whole", whole), ("cut, resumed with a range", resumed), ("cut, no ranges: started over", restarted)):
    print(f"{name:34}{min(t):>7} ms{statistics.median(t):>7.0f} ms")
# Each round's downloads ran next to each other: their ratio is the steadiest figure.
for name, t in (("resumed", resumed), ("started over", restarted)):
    paired = sorted(a / b for a, b in zip(t, whole))
    print(f"{name} / whole: best {min(t) / min(whole):.2f}x, median {statistics.median(t) / statistics.median(whole):.2f}x, "
          f"per round median {statistics.median(paired):.2f}x ({paired[0]:.2f}-{paired[-1]:.2f})"
          + ("  (goal <= 1.15x)" if name == "resumed" else ""))
print(f"ranged requests: {len(ranged)} (one per resumed download), "
      f"answered {sorted(set(r['status'] for r in ranged))}")
PY
