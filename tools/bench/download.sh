#!/usr/bin/env bash
# Inside the sandbox: one 200 MiB file (TF_BENCH_MIB) from the vendor test server, fetched by the transfer
# engine, by a bare WinINet loop (same 4096-byte reads) and by curl, side by side in one run.
# Prints the engine's time as a ratio of the other two and its peak working set.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=$TF_RUN_DIR/bench_download
rm -rf "$dir" && mkdir -p "$dir/docroot" "$dir/out"
size=$((${TF_BENCH_MIB:-200} * 1024 * 1024))  # TF_BENCH_MIB changes the size (is memory flat?)
head -c "$size" /dev/urandom >"$dir/docroot/big.bin"

python3 "$root/tools/vendor_server.py" --docroot "$dir/docroot" --log "$dir/requests.jsonl" >"$dir/server.out" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true; rm -rf "$dir"' EXIT
timeout 30 python3 "$root/tests/e2e/vendor.py" wait

url=https://$TF_VENDOR_HOST/big.bin
win_out="Z:$(tr / '\\' <<<"$dir/out")"
tool=$TF_WIN_BUILD/tools/bench_download.exe

run_win() {  # mode -> "ms peak_ws growth_of_ws_during_the_download"
  rm -f "$dir/out/big.bin"
  local line
  line=$(timeout 600 "$WINE" "$tool" "$1" "$url" "$win_out" | tr -d '\r')
  [[ $(stat -c %s "$dir/out/big.bin") -eq $size ]] || { echo "$1: incomplete file ($line)" >&2; exit 1; }
  cmp -s "$dir/out/big.bin" "$dir/docroot/big.bin" || { echo "$1: file differs" >&2; exit 1; }
  sed -E 's/^ms=([0-9]+) bytes=[0-9]+ peak_ws=([0-9]+) start_ws=([0-9]+).*/\1 \2 \3/' <<<"$line" |
    awk '{ print $1, $2, $2 - $3 }'
}
run_curl() {
  rm -f "$dir/out/big.bin"
  local a b
  a=$(date +%s%N)
  curl -s --cacert "$TF_CA_DIR/ca.pem" -o "$dir/out/big.bin" "$url"
  b=$(date +%s%N)
  [[ $(stat -c %s "$dir/out/big.bin") -eq $size ]] || { echo "curl: incomplete file" >&2; exit 1; }
  echo $(((b - a) / 1000000))
}

# Two rounds, interleaved; the best time of each counts.
best_e=; best_b=; best_c=; peak=0; peak_b=0; grow=0; grow_b=0
for round in 1 2; do
  read -r e pe ge < <(run_win engine)
  read -r b pb gb < <(run_win bare)
  c=$(run_curl)
  echo "round $round: engine ${e} ms, bare WinINet ${b} ms, curl ${c} ms"
  [[ -z $best_e || $e -lt $best_e ]] && best_e=$e
  [[ -z $best_b || $b -lt $best_b ]] && best_b=$b
  [[ -z $best_c || $c -lt $best_c ]] && best_c=$c
  ((pe > peak)) && peak=$pe
  ((pb > peak_b)) && peak_b=$pb
  ((ge > grow)) && grow=$ge
  ((gb > grow_b)) && grow_b=$gb
done
python3 - "$best_e" "$best_b" "$best_c" "$peak" "$peak_b" "$grow" "$grow_b" "${TF_BENCH_MIB:-200}" <<'PY'
import sys
e, b, c, peak, peak_b, grow, grow_b = map(int, sys.argv[1:8])
mib = 1048576
print(f"engine / bare WinINet loop: {e / b:.2f}x (goal <= 1.25x)")
print(f"engine / curl:              {e / c:.2f}x")
print(f"engine peak working set:    {peak / mib:.1f} MiB (goal < 16 MiB; bare loop {peak_b / mib:.1f} MiB)")
print(f"growth during the download: engine {grow / mib:.1f} MiB, bare loop {grow_b / mib:.1f} MiB "
      f"(the rest is the Wine process itself)")
print(f"engine throughput:          {int(sys.argv[8]) / (e / 1000):.0f} MiB/s")
PY
