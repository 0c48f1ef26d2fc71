#!/usr/bin/env bash
# Inside the sandbox: a full installation through the wizard, then the uninstaller started from
# the installed-programs entry's command line, as a person would. Prints what the installation
# left on the machine, what the uninstaller removed and what stayed, and the uninstaller's log.
# Screenshots go to build/screenshots/demo_desinstalar_*.png.
# With a DISPLAY of the person's own (TF_DEMO_DISPLAY), the windows open there instead of Xvfb.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
demo=$WINEPREFIX/drive_c/Descargas
work=$TF_RUN_DIR/demo_desinstalar
shots=$root/build/screenshots
mkdir -p "$demo" "$work/docroot/version" "$shots"
cp "$TF_WIN_BUILD/setup.exe" "$demo/setup.exe"

step() { echo "[demo] $*"; }
tfctl() { "$WINE" "$TF_WIN_BUILD/tools/tfctl.exe" "$@"; }
# A Wine helper started on the way can hold a pipe open: output through a file.
wine_out() { "$WINE" "$@" >"$work/wine.out" 2>/dev/null </dev/null; local rc=$?; tr -d '\r' <"$work/wine.out"; return $rc; }
probe() { wine_out "$TF_WIN_BUILD/fixtures/machine_probe.exe" "$@"; }
unix_path() { local p=${1#[Cc]:\\}; echo "$WINEPREFIX/drive_c/${p//\\//}"; }
shot() {  # name: the window as it is now
  tfctl screenshot "$work/shot.bmp" >/dev/null && convert "$work/shot.bmp" "$shots/demo_desinstalar_$1.png" 2>/dev/null &&
    step "screenshot: build/screenshots/demo_desinstalar_$1.png"
}

# The vendor's server, on this machine only: the licence agreement and the packages.
printf 'ACUERDO DE LICENCIA DE USUARIO FINAL DE TURNALIAFREE\r\n\r\nCláusula 1. Esta es la versión de demostración del acuerdo.\r\n' |
  iconv -f UTF-8 -t WINDOWS-1252 >"$work/docroot/version/Licencia_KVT.txt"
python3 "$root/tests/fixtures/vendor/make_docroot.py" --host "$TF_VENDOR_HOST" --out "$work/docroot" >/dev/null ||
  { step "the packages could not be made (./dev build first)"; exit 1; }
python3 "$root/tools/vendor_server.py" --docroot "$work/docroot" --log "$work/requests.jsonl" \
  >"$work/server.out" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true' EXIT
timeout 30 python3 "$root/tests/e2e/vendor.py" wait || { step "the vendor server did not answer"; exit 1; }

probe -folders >"$work/folders.txt"
folder() { sed -n "s/^$1=//p" "$work/folders.txt"; }
install=$(folder raiz)
dbms=$(folder dbms)
menu="$(folder programas)\\TurnaliaFree"
key="HKLM\\$(folder clave)TurnaliaFree.exe"

# One line per thing of the product on the machine: its files, services, programs running,
# installed-programs entry, shortcuts, uninstaller and database files.
state() {
  local base
  base=$(unix_path "$install")
  if [[ -d $base ]]; then
    (cd "$base" && find . \( -type f -o -type l \) -printf '%P\n') | while IFS= read -r f; do
      printf 'file %s\\%s\n' "$install" "${f//\//\\}"
    done
  fi
  probe -services KVTDB srvKVT_service srvKVT_zkteco | sed -n 's/=1$//p' | sed 's/^/service /'
  for exe in mysqld.exe KVT_service.exe KVT_zkteco.exe; do probe -processes "$exe" | sed 's/^/running /'; done
  wine_out reg query "$key" /v UninstallString | sed -n 's/^ *UninstallString *REG_SZ *\(.*\)$/entry UninstallString = \1/p'
  for l in "$(folder escritorio)\\Turnalia Free.lnk" "$menu\\TurnaliaFree.lnk" "$menu\\Desinstalar.lnk"; do
    [[ -e $(unix_path "$l") ]] && echo "shortcut $l"
  done
  [[ -d $(unix_path "$menu") ]] && echo "folder $menu"
  local u="$(folder windows)\\TurnaliaFree\\uninstall.exe"
  [[ -f $(unix_path "$u") ]] && echo "file $u"
  [[ -f $(unix_path "$dbms\\bin\\mysqld.exe") ]] && echo "file $dbms\\bin\\mysqld.exe"
  [[ -d $(unix_path "$dbms\\data\\turnaliafree") ]] && echo "folder $dbms\\data\\turnaliafree (the product's database)"
  true
}

[[ -n "${TF_DEMO_DISPLAY:-}" ]] && export DISPLAY=$TF_DEMO_DISPLAY
step "a full installation: starting C:\\Descargas\\setup.exe"
(cd "$demo" && "$WINE" setup.exe >/dev/null 2>&1) &
pid=$!
tfctl wait-window 60000 || { step "the window did not appear"; exit 1; }
tfctl wait-visible pnlBienvenida 15000 || { step "no welcome panel"; tfctl list; exit 1; }
tfctl click Avanzar
tfctl wait-visible pnlLicencia 30000 || { step "no licence panel"; tfctl msgbox 2000; exit 1; }
tfctl check "He leído y acepto las Condiciones de Uso y en especial la Política de Privacidad" on
tfctl click Aceptar
tfctl wait-visible pnlOpciones 15000
step "pressing \"Instalar\" (database server, application, services, entry, shortcuts)"
tfctl click Instalar
tfctl wait-visible pnlFinalizacion 600000 || { step "the installation did not end"; exit 1; }
step "outcome: $(tfctl text lblFinalizacion) $(tfctl text lblFinalizacion1) $(tfctl text lblFinalizacion2)"
tfctl click Cerrar
wait "$pid"
# The product keeps its backups here; the uninstaller leaves them.
printf 'PK' >"$(unix_path "$install\\BackUp")/kvt_copia_demo.zip"
step "a backup as the product makes them: $install\\BackUp\\kvt_copia_demo.zip"
state | sort >"$work/antes.txt"
step "the product on the machine after the installation:"
sed 's/^/         /' "$work/antes.txt"

line=$(wine_out reg query "$key" /v UninstallString | sed -n 's/^ *UninstallString *REG_SZ *\(.*\)$/\1/p')
[[ -n $line ]] || { step "no installed-programs entry"; exit 1; }
exe=$(sed -n 's/^"\([^"]*\)".*$/\1/p' <<<"$line")
args=$(sed -n 's/^"[^"]*" *//p' <<<"$line")
step "the entry's command line: $line"
(cd "$(dirname "$(unix_path "$exe")")" && "$WINE" "$exe" $args >/dev/null 2>&1) &
pid=$!
tfctl wait-window 60000 || { step "the uninstaller's window did not appear"; exit 1; }
tfctl wait-visible pnlDesinstalar 15000 || { step "no uninstall panel"; tfctl list; exit 1; }
step "uninstall panel: size $(tfctl text lblQVSizeDesinstalar) of $(tfctl text lblQVDirDesinstalar) (labels kept hidden)"
tfctl list | awk -F'|' '$2 ~ /^(chkKVTDesinstalar|btnDesinstalar|btnSalir3)$/ {print "         " $2 ": " $3 " " $4}'
shot 1_pnlDesinstalar
step "ticking \"Quiero desinstalar TurnaliaFree de este equipo\" and pressing \"Continuar\""
tfctl check "Quiero desinstalar TurnaliaFree de este equipo" on
tfctl click Continuar
tfctl wait-text "La desinstalación se realizó con éxito !" 180000 ||
  { step "no success outcome"; tfctl msgbox 2000; tfctl list; }
step "outcome: $(tfctl text lblFinalizacion) $(tfctl text lblFinalizacion1)"
shot 2_pnlFinalizacion
tfctl click Cerrar
wait "$pid"

state | sort >"$work/despues.txt"
step "removed by the uninstaller:"
comm -23 "$work/antes.txt" "$work/despues.txt" | sed 's/^/         /'
step "stayed:"
comm -12 "$work/antes.txt" "$work/despues.txt" | sed 's/^/         /'
step "the database server's own log, its last lines (stopped through its service, not killed):"
tail -n 4 "$(unix_path "$dbms\\data")/mysqld.log" | sed 's/^/         /'
step "uninstaller's log ($(folder windows)\\TurnaliaFree\\uninstall_$(date +%d%m%y).log):"
iconv -f WINDOWS-1252 -t UTF-8 "$(unix_path "$(folder windows)\\TurnaliaFree")"/uninstall_*.log | tr -d '\r'
