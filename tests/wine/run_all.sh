#!/usr/bin/env bash
# Inside the sandbox: the Win32 adapter tests, then the end-to-end tests.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
rc=0
echo "== Win32 adapter tests under Wine ($TF_WIN_BUILD)"
# Archives for the unzipper tests, read from the run folder by wine_tests.exe.
python3 "$root/tests/fixtures/make_zips.py" "$TF_RUN_DIR/zipfix" || rc=1
# --- vendor test server for the transfer and update tests (tests/wine/test_transfer.cpp,
# tests/wine/test_update_server.cpp), stopped by PID after them
export TF_VENDOR_DIR=$TF_RUN_DIR/vendor
export TF_VENDOR_DOCROOT=$TF_VENDOR_DIR/docroot TF_VENDOR_FAULTS=$TF_VENDOR_DIR/faults.json TF_VENDOR_LOG=$TF_VENDOR_DIR/requests.jsonl
mkdir -p "$TF_VENDOR_DOCROOT" && echo '{}' >"$TF_VENDOR_FAULTS"
# The installer's update content (/version/pack3.inf and its packages).
python3 "$root/tests/fixtures/vendor/make_docroot.py" --host "$TF_VENDOR_HOST" --fixtures "$TF_WIN_BUILD/fixtures" \
  --out "$TF_VENDOR_DOCROOT" || rc=1
python3 "$root/tools/vendor_server.py" --docroot "$TF_VENDOR_DOCROOT" --faults "$TF_VENDOR_FAULTS" \
  --log "$TF_VENDOR_LOG" >"$TF_VENDOR_DIR/server.out" 2>&1 &
vendor_pid=$!
timeout 30 python3 "$root/tests/e2e/vendor.py" wait || echo "vendor test server did not answer"
# --- end vendor test server
# --- a database server on the product's port for the database probe tests
# (tests/wine/test_mysql.cpp), stopped by PID after them
export TF_MYSQL_PASSWORD=2912745123
mariadb=$root/tests/fixtures/test_mariadb.sh
"$mariadb" start "$TF_RUN_DIR/mariadb" 3307 "$TF_MYSQL_PASSWORD" || { echo "test database server did not start"; rc=1; }
(cd "$TF_RUN_DIR" && timeout 600 "$WINE" "$TF_WIN_BUILD/wine_tests.exe" --gtest_brief=1 --gtest_filter=-Dbms.* \
  >"$TF_RUN_DIR/wine_tests.out" 2>&1)
wrc=$?
"$mariadb" stop "$TF_RUN_DIR/mariadb"
tr -d "\r" <"$TF_RUN_DIR/wine_tests.out"
[[ $wrc -eq 0 ]] || rc=1
# The database server stand-ins start their own server on the product's port, now free again
# (tests/wine/test_dbms.cpp).
(cd "$TF_RUN_DIR" && timeout 600 "$WINE" "$TF_WIN_BUILD/wine_tests.exe" --gtest_brief=1 --gtest_filter=Dbms.* \
  >"$TF_RUN_DIR/wine_tests_dbms.out" 2>&1)
wrc=$?
kill "$vendor_pid" 2>/dev/null; wait "$vendor_pid" 2>/dev/null
tr -d "\r" <"$TF_RUN_DIR/wine_tests_dbms.out"
[[ $wrc -eq 0 ]] || rc=1
echo "== end-to-end tests under Wine"
python3 "$root/tests/e2e/run.py" || rc=1
exit $rc
