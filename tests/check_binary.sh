#!/usr/bin/env bash
# The release setup.exe: PE32 i386 GUI image, terminal-server aware, only Windows system DLLs
# imported, admin manifest.
set -euo pipefail
exe=${1:-build/win32/setup.exe}
fail=0
check() { if eval "$2"; then echo "ok - $1"; else echo "FAILED - $1"; fail=$((fail+1)); fi; }
dump=$(i686-w64-mingw32-objdump -p "$exe")
check "PE32 i386 image" 'grep -q "file format pei-i386" <<<"$dump" && grep -q "(PE32)" <<<"$dump"'
check "GUI subsystem" 'grep -q "(Windows GUI)" <<<"$dump"'
check "terminal-server aware" 'grep -q "TERMINAL_SERVICE_AWARE" <<<"$dump"'
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comdlg32|ws2_32|shlwapi|comctl32|msvcrt)\.dll$'
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z')
check "imports only Windows system DLLs ($(echo $imports))" '! grep -vqE "$allowed" <<<"$imports"'
check "no runtime DLLs (libstdc++, libgcc, winpthread, zlib)" '! grep -qiE "libstdc|libgcc|pthread|zlib" <<<"$imports"'
manifest=$(python3 - "$exe" <<'PY'
import sys, re
data = open(sys.argv[1], 'rb').read()
m = re.search(rb'<assembly.*?</assembly>', data, re.S)
print(m.group(0).decode('utf-8', 'replace') if m else '')
PY
)
check "manifest asks for requireAdministrator" 'grep -q "requireAdministrator" <<<"$manifest"'
check "manifest enables common controls v6" 'grep -q "Microsoft.Windows.Common-Controls" <<<"$manifest"'
check "manifest declares DPI awareness" 'grep -q "dpiAware" <<<"$manifest"'
check "version resource names the product" 'LC_ALL=C grep -aq "T.u.r.n.a.l.i.a.F.r.e.e" "$exe"'
echo "$((9 - fail)) passed, $fail failed"
[[ $fail -eq 0 ]]
