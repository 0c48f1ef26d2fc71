#!/usr/bin/env bash
# Inside the sandbox: CPU the command runner costs while a command sleeps 5 s.
set -uo pipefail
cd "$TF_RUN_DIR"
timeout 120 "$WINE" "$TF_WIN_BUILD/tools/runner_cpu.exe" 5 > runner_cpu.out 2>&1
rc=$?
tr -d '\r' < runner_cpu.out
exit $rc
