#!/usr/bin/env bash
# Inside the sandbox: a run of setup.exe under Wine against a local vendor server, through the
# wizard as a person would go (welcome, licence, options), then the log it wrote.
# With a DISPLAY of the person's own (TF_DEMO_DISPLAY), the window opens there instead of Xvfb.
set -uo pipefail
# "client": the time-clock client installation instead (tools/demo_client.sh).
[[ "${1:-}" == client ]] && exec "$(dirname "$0")/demo_client.sh"
# "uninstall": a full installation, then the uninstaller (tools/demo_uninstall.sh).
[[ "${1:-}" == uninstall ]] && exec "$(dirname "$0")/demo_uninstall.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
demo=$WINEPREFIX/drive_c/Descargas
work=$TF_RUN_DIR/demo
mkdir -p "$demo" "$work/docroot/version"
cp "$TF_WIN_BUILD/setup.exe" "$demo/setup.exe"

# The vendor's server, on this machine only: the licence agreement and the package control file.
printf 'ACUERDO DE LICENCIA DE USUARIO FINAL DE TURNALIAFREE\r\n\r\nCláusula 1. Esta es la versión de demostración del acuerdo.\r\n' |
  iconv -f UTF-8 -t WINDOWS-1252 >"$work/docroot/version/Licencia_KVT.txt"
python3 "$root/tests/fixtures/vendor/make_docroot.py" --host "$TF_VENDOR_HOST" --fixtures "$TF_WIN_BUILD/fixtures" \
  --out "$work/docroot" >/dev/null
python3 "$root/tools/vendor_server.py" --docroot "$work/docroot" --log "$work/requests.jsonl" \
  >"$work/server.out" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true' EXIT
timeout 30 python3 "$root/tests/e2e/vendor.py" wait || { echo "[demo] the vendor server did not answer"; exit 1; }

[[ -n "${TF_DEMO_DISPLAY:-}" ]] && export DISPLAY=$TF_DEMO_DISPLAY
tfctl() { "$WINE" "$TF_WIN_BUILD/tools/tfctl.exe" "$@"; }
step() { echo "[demo] $*"; }

step "starting C:\\Descargas\\setup.exe"
(cd "$demo" && "$WINE" setup.exe >/dev/null 2>&1) &
pid=$!
tfctl wait-window 60000 || { step "the window did not appear"; exit 1; }
tfctl wait-visible pnlBienvenida 15000
step "welcome panel; pressing \"Avanzar\" (downloads the licence agreement)"
tfctl click Avanzar
tfctl wait-visible pnlLicencia 30000 || { step "no licence panel"; tfctl msgbox 2000; }
step "licence text shown:"
tfctl text txtLicencia | sed 's/^/         /'
step "ticking the acceptance box and pressing \"Aceptar\""
tfctl check "He leído y acepto las Condiciones de Uso y en especial la Política de Privacidad" on
tfctl click Aceptar
tfctl wait-visible pnlOpciones 15000
step "options panel:"
tfctl list | awk -F'|' '$2 ~ /^(lblDirectorioRaizInstalacion|lblMirrorDescarga|chk)/ {print "         " $2 ": " $3 " " $4}'
mkdir -p "$root/build/screenshots"
tfctl screenshot "$work/demo_opciones.bmp" && convert "$work/demo_opciones.bmp" "$root/build/screenshots/demo_opciones.png" 2>/dev/null &&
  step "screenshot: build/screenshots/demo_opciones.png"
step "closing the window (the installation itself arrives with the pipeline)"
tfctl close
wait "$pid"
step "requests the vendor server received:"
python3 - "$work/requests.jsonl" <<'PY'
import json, sys
for line in open(sys.argv[1]):
    r = json.loads(line)
    print(f"         {r['method']} {r['path']} -> {r['status']}")
PY
step "installation log (C:\\Descargas\\setup_$(date +%d%m%y).log):"
iconv -f WINDOWS-1252 -t UTF-8 "$demo"/setup_*.log | tr -d '\r'
