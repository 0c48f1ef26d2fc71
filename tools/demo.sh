#!/usr/bin/env bash
# Inside the sandbox: start setup.exe under Wine and show what it wrote to its log.
# With a DISPLAY of the person's own (TF_DEMO_DISPLAY), the window opens there instead of Xvfb.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
demo=$WINEPREFIX/drive_c/Descargas
mkdir -p "$demo"
cp "$TF_WIN_BUILD/setup.exe" "$demo/setup.exe"
[[ -n "${TF_DEMO_DISPLAY:-}" ]] && export DISPLAY=$TF_DEMO_DISPLAY
echo "[demo] starting C:\\Descargas\\setup.exe -no_downloads"
(cd "$demo" && "$WINE" setup.exe -no_downloads >/dev/null 2>&1) &
pid=$!
tfctl() { "$WINE" "$TF_WIN_BUILD/tools/tfctl.exe" "$@"; }
tfctl wait-window 60000 || { echo "[demo] the window did not appear"; exit 1; }
echo "[demo] the window is up; what it shows:"
tfctl list | tr -d '\r'
echo "[demo] opening the proxy settings and closing them again"
tfctl click "Configuración Proxy" && tfctl wait-visible pnlProxy 10000 && sleep 1
tfctl click Cerrar && tfctl wait-visible pnlBienvenida 10000
echo "[demo] closing the window in 3 s"
sleep 3
tfctl close
wait "$pid"
echo "[demo] installation log (C:\\Descargas\\setup_$(date +%d%m%y).log):"
iconv -f WINDOWS-1252 -t UTF-8 "$demo"/setup_*.log | tr -d '\r'
