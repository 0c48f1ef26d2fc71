#!/usr/bin/env bash
# Inside the sandbox: the time-clock client installation as a person sees it. A server of the
# product answers on the LAN (the responder), setup.exe offers the client, the wizard is walked
# to "Instalar", and then what landed: files, the registration, the shortcuts, the requests the
# vendor's server received, the responder's count and the installation log. Screenshots of each
# panel go to build/screenshots/demo_cliente_*.png.
# With a DISPLAY of the person's own (TF_DEMO_DISPLAY), the window opens there instead of Xvfb.
set -uo pipefail
source "$(dirname "$0")/demo_comun.sh"
server_name=SERVIDOR-RECEPCION
demo_start demo_cliente
# A Wine helper started on the way can hold a pipe open: output through a file.
read_link() { "$WINE" "$TF_WIN_BUILD/fixtures/read_link.exe" "$@" >"$work/read_link.out" 2>/dev/null </dev/null; tr -d '\r' <"$work/read_link.out"; }
serve_vendor
responder=
stop_helpers() {
  stop_vendor
  [[ -n $responder ]] && python3 "$root/tests/e2e/responder.py" stop "$responder"
  true
}
trap stop_helpers EXIT
# The product's server side on the LAN: answers the installer's question with its name.
responder=$(python3 "$root/tests/e2e/responder.py" start "$work/responder.json" --name "$server_name") ||
  { step "the LAN responder did not start"; exit 1; }
step "a server of the product answers on the LAN as \"$server_name\" (responder PID $responder)"

read_link folders >"$work/folders.txt"
folder() { sed -n "s/^$1=//p" "$work/folders.txt"; }
install="$(folder programfiles)\\TurnaliaFree"
menu="$(folder programs)\\TurnaliaFree"

step "starting C:\\Descargas\\setup.exe"
(cd "$demo" && "$WINE" setup.exe >/dev/null 2>&1) &
pid=$!
tfctl wait-window 60000 || { step "the window did not appear"; exit 1; }
tfctl wait-visible pnlBienvenidaTicador 15000 || { step "no client welcome panel"; tfctl list; exit 1; }
step "client welcome panel:"
tfctl text lblServidorDetectado | sed 's/^/         /'
echo
shot demo_cliente_1_pnlBienvenidaTicador
step "pressing \"Avanzar\" (downloads the licence agreement), ticking the acceptance box and pressing \"Aceptar\""
walk_to_options pnlBienvenidaTicador
tfctl list | awk -F'|' '$2 ~ /^(lblDirectorioRaizInstalacion|chk)/ {print "         " $2 ": " $3 " " $4}'
shot demo_cliente_3_pnlOpciones
step "pressing \"Instalar\""
tfctl click Instalar
tfctl wait-visible pnlProgreso 5000 >/dev/null 2>&1 && shot demo_cliente_4_pnlProgreso
tfctl wait-visible pnlFinalizacion 120000 || { step "the installation did not end"; exit 1; }
step "outcome: $(tfctl text lblFinalizacion) $(tfctl text lblFinalizacion1) $(tfctl text lblFinalizacion2)"
shot demo_cliente_5_pnlFinalizacion
step "pressing \"Cerrar\""
tfctl click Cerrar
wait "$pid"

step "the responder got $(python3 "$root/tests/e2e/responder.py" count "$work/responder.json") datagram(s):"
python3 - "$work/responder.json" <<'PY'
import json, sys
for d in json.load(open(sys.argv[1]))["datagrams"]:
    print(f"         {d['size']} bytes from {d['from']}:{d['port']} to {d['to']}, answered: {d['answered']}")
PY
step "installation folder $install:"
(cd "$(unix_path "$install")" && find . -type f -printf '         %P (%s bytes)\n' | sort)
step "utilities in the system folder $(folder system):"
for f in midas.dll zkemkeeper.dll kvt_comun.dll biokey.ocx kvt_utilidad.exe; do
  p=$(unix_path "$(folder system)\\$f")
  if [[ -f $p ]]; then echo "         $f ($(stat -c %s "$p") bytes)"; else echo "         $f: not placed"; fi
done
records=$WINEPREFIX/drive_c/TurnaliaFreeTest/registro
for _ in $(seq 1 50); do [[ -s $records/midas.dll.txt ]] && break; sleep 0.2; done  # regsvr32 is not waited for
step "registrations recorded by the COM stand-in (C:\\TurnaliaFreeTest\\registro):"
if compgen -G "$records/*.txt" >/dev/null; then
  for f in "$records"/*.txt; do tr -d '\r' <"$f" | sed "s/^/         $(basename "$f" .txt): /"; done
else
  echo "         none"
fi
step "shortcuts (target|description|working folder|arguments|icon|index|hot key|show):"
for l in "$(folder desktop)\\Software Ticador.lnk" "$menu\\Software Ticador.lnk" "$menu\\Desinstalar.lnk"; do
  echo "         $l"
  read_link "$l" | sed 's/^/           /'
done
step "requests the vendor server received:"
print_requests
step "installation log (C:\\Descargas\\setup_$(date +%d%m%y).log):"
print_log "$demo/setup_$(date +%d%m%y).log"
