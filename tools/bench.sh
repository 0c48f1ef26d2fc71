#!/usr/bin/env bash
# Inside the sandbox: runs every benchmark under tools/bench/ (each prints its own ratios).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
shopt -s nullglob
benches=("$here"/bench/*.sh)
if [[ ${#benches[@]} -eq 0 ]]; then echo "no benchmarks yet"; exit 0; fi
rc=0
for b in "${benches[@]}"; do
  echo "== $(basename "$b" .sh)"
  bash "$b" || rc=1
done
exit $rc
