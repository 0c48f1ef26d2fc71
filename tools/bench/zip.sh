#!/usr/bin/env bash
# Extraction: the native tfzip (release, no sanitizers) against unzip and bsdtar, side by side,
# on an archive of many entries (where tfzip uses every core) and on one of a single large entry
# (which one thread writes).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bench=$root/build/bench/zip
mkdir -p "$bench"

build=$root/build/native-release
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTF_SANITIZE=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target tfzip peakrss >/dev/null

# The archives are made once and kept; a new generator makes new ones.
stamp=$(sed -n '/^ENTRIES/,/^def timed/p' "$root/tools/bench/zip_bench.py" | sha1sum | cut -c1-12)
mixed=$bench/mixed-$stamp.zip
single=$bench/single-$stamp.zip
if [[ ! -f $mixed || ! -f $single ]]; then
  rm -f "$bench"/mixed-*.zip "$bench"/single-*.zip
  echo "making $mixed and $single"
  python3 "$root/tools/bench/zip_bench.py" make "$mixed"
  python3 "$root/tools/bench/zip_bench.py" make-single "$single"
fi

out=$(mktemp -d "${TMPDIR:-/tmp}/tfzip-bench.XXXXXX")
trap 'rm -rf "$out"' EXIT
python3 "$root/tools/bench/zip_bench.py" run "$mixed" "$build/tfzip" "$build/peakrss" "$out" 0.70
python3 "$root/tools/bench/zip_bench.py" run "$single" "$build/tfzip" "$build/peakrss" "$out" 1.05
