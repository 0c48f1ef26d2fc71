#!/usr/bin/env bash
# Inside the sandbox: the Win32 adapter tests, then the end-to-end tests.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
rc=0
echo "== Win32 adapter tests under Wine ($TF_WIN_BUILD)"
# Archives for the unzipper tests, read from the run folder by wine_tests.exe.
python3 "$root/tests/fixtures/make_zips.py" "$TF_RUN_DIR/zipfix" || rc=1
(cd "$TF_RUN_DIR" && timeout 600 "$WINE" "$TF_WIN_BUILD/wine_tests.exe" --gtest_brief=1 >"$TF_RUN_DIR/wine_tests.out" 2>&1)
wrc=$?
tr -d "\r" <"$TF_RUN_DIR/wine_tests.out"
[[ $wrc -eq 0 ]] || rc=1
echo "== end-to-end tests under Wine"
python3 "$root/tests/e2e/run.py" || rc=1
exit $rc
