# What the demos share (sourced by tools/demo.sh, demo_client.sh, demo_uninstall.sh), inside the
# sandbox: a work folder, setup.exe in C:\Descargas, the local vendor server, the wizard's walk
# to the options panel, screenshots, and the Windows programs' output read through a file.
#   demo_start NAME     work folder $TF_RUN_DIR/NAME, setup.exe copied, the person's display if set
#   serve_vendor        licence agreement and packages served; stopped when the demo ends
#   walk_to_options W   from the welcome panel W through the licence to the options panel
#   shot NAME           the window now, as build/screenshots/NAME.png
#   print_requests      what the vendor server received
#   print_log FILE      an installation log as UTF-8
#   print_key KEY       a registry key's values as UTF-8, one "name = data" a line
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
demo=$WINEPREFIX/drive_c/Descargas
shots=$root/build/screenshots

step() { echo "[demo] $*"; }
tfctl() { "$WINE" "$TF_WIN_BUILD/tools/tfctl.exe" "$@"; }
# A Wine helper started on the way can hold a pipe open: output through a file.
wine_out() { "$WINE" "$@" >"$work/wine.out" 2>/dev/null </dev/null; local rc=$?; tr -d '\r' <"$work/wine.out"; return $rc; }
unix_path() { local p=${1#[Cc]:\\}; echo "$WINEPREFIX/drive_c/${p//\\//}"; }

demo_start() {
  work=$TF_RUN_DIR/$1
  mkdir -p "$demo" "$work/docroot/version" "$shots"
  cp "$TF_WIN_BUILD/setup.exe" "$demo/setup.exe"
  [[ -n "${TF_DEMO_DISPLAY:-}" ]] && export DISPLAY=$TF_DEMO_DISPLAY
  return 0
}

vendor_pid=
stop_vendor() { [[ -n $vendor_pid ]] && { kill "$vendor_pid" 2>/dev/null; wait "$vendor_pid" 2>/dev/null; }; true; }
serve_vendor() {
  printf 'ACUERDO DE LICENCIA DE USUARIO FINAL DE TURNALIAFREE\r\n\r\nCláusula 1. Esta es la versión de demostración del acuerdo.\r\n' |
    iconv -f UTF-8 -t WINDOWS-1252 >"$work/docroot/version/Licencia_KVT.txt"
  python3 "$root/tests/fixtures/vendor/make_docroot.py" --host "$TF_VENDOR_HOST" --fixtures "$TF_WIN_BUILD/fixtures" \
    --out "$work/docroot" >/dev/null || { step "the packages could not be made (./dev build first)"; exit 1; }
  python3 "$root/tools/vendor_server.py" --docroot "$work/docroot" --log "$work/requests.jsonl" \
    >"$work/server.out" 2>&1 &
  vendor_pid=$!
  timeout 30 python3 "$root/tests/e2e/vendor.py" wait || { step "the vendor server did not answer"; exit 1; }
}

walk_to_options() {
  tfctl wait-visible "$1" 15000 || { step "no $1"; tfctl list; exit 1; }
  tfctl click Avanzar
  tfctl wait-visible pnlLicencia 30000 || { step "no licence panel"; tfctl msgbox 2000; exit 1; }
  tfctl check "He leído y acepto las Condiciones de Uso y en especial la Política de Privacidad" on
  tfctl click Aceptar
  tfctl wait-visible pnlOpciones 15000 || { step "no options panel"; exit 1; }
}

shot() {
  tfctl screenshot "$work/shot.bmp" >/dev/null && convert "$work/shot.bmp" "$shots/$1.png" 2>/dev/null &&
    step "screenshot: build/screenshots/$1.png"
}

print_requests() {
  python3 - "$work/requests.jsonl" <<'PY'
import json, sys
for line in open(sys.argv[1]):
    r = json.loads(line)
    print(f"         {r['method']} {r['path']} -> {r['status']}")
PY
}

print_log() { iconv -f WINDOWS-1252 -t UTF-8 "$1" | tr -d '\r'; }

# reg query writes the console's OEM code page, which has no "™" (Wine writes "T") and whose "ó"
# is no UTF-8; reg export writes UTF-16.
print_key() {
  rm -f "$WINEPREFIX/drive_c/windows/temp/tf_key.reg"
  "$WINE" reg export "$1" 'C:\windows\temp\tf_key.reg' /y >/dev/null 2>&1 </dev/null || return 1
  iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/windows/temp/tf_key.reg" | tr -d '\r' |
    sed -n -e 's/^\(\[.*\]\)$/\1/p' -e 's/^"\([^"]*\)"="\(.*\)"$/  \1 = \2/p' -e 's/^"\([^"]*\)"=\(.*\)$/  \1 = \2/p' |
    sed 's/\\\(["\\]\)/\1/g'
}
