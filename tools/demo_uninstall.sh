#!/usr/bin/env bash
# Inside the sandbox: a full installation through the wizard, then the uninstaller started from
# the installed-programs entry's command line, as a person would. Prints what the installation
# left on the machine, what the uninstaller removed and what stayed, and the uninstaller's log.
# Screenshots go to build/screenshots/demo_desinstalar_*.png.
# With a DISPLAY of the person's own (TF_DEMO_DISPLAY), the windows open there instead of Xvfb.
set -uo pipefail
source "$(dirname "$0")/demo_comun.sh"
demo_start demo_desinstalar
serve_vendor
trap stop_vendor EXIT
probe() { wine_out "$TF_WIN_BUILD/fixtures/machine_probe.exe" "$@"; }

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

step "a full installation: starting C:\\Descargas\\setup.exe"
(cd "$demo" && "$WINE" setup.exe >/dev/null 2>&1) &
pid=$!
tfctl wait-window 60000 || { step "the window did not appear"; exit 1; }
walk_to_options pnlBienvenida
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
shot demo_desinstalar_1_pnlDesinstalar
step "ticking \"Quiero desinstalar TurnaliaFree de este equipo\" and pressing \"Continuar\""
tfctl check "Quiero desinstalar TurnaliaFree de este equipo" on
tfctl click Continuar
tfctl wait-text "La desinstalación se realizó con éxito !" 180000 ||
  { step "no success outcome"; tfctl msgbox 2000; tfctl list; }
step "outcome: $(tfctl text lblFinalizacion) $(tfctl text lblFinalizacion1)"
shot demo_desinstalar_2_pnlFinalizacion
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
print_log "$(unix_path "$(folder windows)\\TurnaliaFree")/uninstall_$(date +%d%m%y).log"
