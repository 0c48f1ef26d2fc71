#!/usr/bin/env bash
# Inside the sandbox: a whole installation by setup.exe under Wine from a local vendor server,
# through the wizard as a person would go (welcome, licence, options, "Instalar"), then what
# landed on the machine, what the vendor received and the log.
# With a DISPLAY of the person's own (TF_DEMO_DISPLAY), the window opens there instead of Xvfb.
set -uo pipefail
# "client": the time-clock client installation instead (tools/demo_client.sh).
[[ "${1:-}" == client ]] && exec "$(dirname "$0")/demo_client.sh"
# "uninstall": a full installation, then the uninstaller from the entry (tools/demo_uninstall.sh).
[[ "${1:-}" == uninstall ]] && exec "$(dirname "$0")/demo_uninstall.sh"
source "$(dirname "$0")/demo_comun.sh"
demo_start demo
serve_vendor
trap stop_vendor EXIT

step "starting C:\\Descargas\\setup.exe"
(cd "$demo" && "$WINE" setup.exe >/dev/null 2>&1) &
pid=$!
tfctl wait-window 60000 || { step "the window did not appear"; exit 1; }
step "welcome panel, then \"Avanzar\" (downloads the licence agreement), the acceptance box and \"Aceptar\""
walk_to_options pnlBienvenida
step "licence text shown:"
tfctl text txtLicencia | sed 's/^/         /'
step "options panel:"
tfctl list | awk -F'|' '$2 ~ /^(lblDirectorioRaizInstalacion|lblMirrorDescarga|chk)/ {print "         " $2 ": " $3 " " $4}'
shot demo_opciones
step "pressing \"Instalar\": the progress panel as it moves"
tfctl click Instalar
last=""
for _ in $(seq 1 1200); do  # at most 10 minutes
  if tfctl wait-visible pnlFinalizacion 1 >/dev/null 2>&1; then break; fi
  now="$(tfctl text lblMensajeAviso 2>/dev/null) | $(tfctl text lblProgresoInstalacion 2>/dev/null)"
  [[ "$now" != "$last" ]] && echo "         $now" && last=$now
  [[ $last == *"50%"* && ! -f "$shots/demo_progreso.png" ]] && shot demo_progreso
  sleep 0.5
done
tfctl wait-visible pnlFinalizacion 1000 || { step "the installation did not end"; exit 1; }
step "outcome: $(tfctl text lblFinalizacion) / $(tfctl text lblFinalizacion1) $(tfctl text lblFinalizacion2)"
shot demo_finalizacion
tfctl click Cerrar
wait "$pid"

drive=$WINEPREFIX/drive_c
step "what landed in C:\\Program Files\\TurnaliaFree:"
(cd "$drive/Program Files/TurnaliaFree" && find . -type f | sort | sed 's/^\./         /')
step "the database server in C:\\Program Files\\MySQL\\MariaDB 10.1 (my.ini's first lines):"
head -3 "$drive/Program Files/MySQL/MariaDB 10.1/data/my.ini" | tr -d '\r' | sed 's/^/         /'
step "services:"
for s in KVTDB srvKVT_service srvKVT_zkteco; do echo "         $s: $(tfctl service $s | tr -d '\r')"; done
step "the installed-programs entry:"
for k in 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\TurnaliaFree.exe' \
         'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TurnaliaFree.exe'; do
  print_key "$k" | sed 's/^/         /'
done
step "shortcuts:"
for l in "$drive/users/root/Desktop/Turnalia Free.lnk" \
         "$drive/users/root/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/TurnaliaFree"/*.lnk; do
  [[ -f $l ]] && echo "         ${l#$drive/}"
done
step "the machine's Path:"
wine_out reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH | grep -i path |
  sed 's/^ */         /'
step "the product database's tables (mariadb -P3307 -uroot -p<derived password>):"
pid_text=$(wine_out reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v ProductId | awk '/ProductId/ {print $3}')
password=$(python3 -c "import binascii,sys; print(binascii.crc32(('mimo'+sys.argv[1]).encode('cp1252')))" "$pid_text")
mariadb --no-defaults --protocol=TCP -h127.0.0.1 -P3307 -uroot "-p$password" turnaliafree -e 'SHOW TABLES' 2>&1 |
  sed 's/^/         /'
step "requests the vendor server received:"
print_requests
step "installation log (C:\\Descargas\\setup_$(date +%d%m%y).log):"
print_log "$demo/setup_$(date +%d%m%y).log"
