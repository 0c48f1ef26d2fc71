#!/usr/bin/env bash
# Extraction: the native tfzip (release, no sanitizers) against unzip and bsdtar, side by side.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bench=$root/build/bench/zip
mkdir -p "$bench"

build=$root/build/native-release
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTF_SANITIZE=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target tfzip peakrss >/dev/null

# The archive is made once and kept; a new generator makes a new one.
stamp=$(sed -n '/^ENTRIES/,/^def timed/p' "$root/tools/bench/zip_bench.py" | sha1sum | cut -c1-12)
archive=$bench/mixed-$stamp.zip
if [[ ! -f $archive ]]; then
  rm -f "$bench"/mixed-*.zip
  echo "making $archive"
  python3 "$root/tools/bench/zip_bench.py" make "$archive"
fi

out=$(mktemp -d "${TMPDIR:-/tmp}/tfzip-bench.XXXXXX")
trap 'rm -rf "$out"' EXIT
python3 "$root/tools/bench/zip_bench.py" run "$archive" "$build/tfzip" "$build/peakrss" "$out"
