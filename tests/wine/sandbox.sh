#!/usr/bin/env bash
# Runs a command inside a private network and mount namespace with Wine ready:
#   loopback plus a veth pair (10.213.0.1/24 <-> 10.213.0.2/24, default route via .2),
#   the vendor host mapped to 127.0.0.1, a test CA trusted, Xvfb, a fresh WINEPREFIX.
# Usage: tests/wine/sandbox.sh [--timeout SECONDS] COMMAND [ARGS...]
# Exported to the command: WINE, WINESERVER, WINEPREFIX, DISPLAY, TF_RUN_DIR, TF_WIN_BUILD,
#   TF_VENDOR_HOST, TF_CA_DIR (ca.pem, server.pem, server.key).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
timeout_s=1500
if [[ "${1:-}" == "--timeout" ]]; then timeout_s=$2; shift 2; fi
[[ $# -ge 1 ]] || { echo "usage: $0 [--timeout S] COMMAND..." >&2; exit 2; }

if [[ "${TF_IN_SANDBOX:-}" != 1 ]]; then
  # Re-enter inside fresh namespaces; everything started below dies with them.
  export TF_IN_SANDBOX=1
  exec unshare --net --mount --fork --kill-child -- "$0" --timeout "$timeout_s" "$@"
fi

log() { echo "[sandbox] $*" >&2; }
mount --make-rprivate /
# X's socket folder private to this run (the checkout itself may live under /tmp), unless the
# demo is to show its window on the person's own display, whose socket lives there.
if [[ -z "${TF_DEMO_DISPLAY:-}" ]]; then
  mkdir -p /tmp/.X11-unix
  mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix
fi

# --- network: loopback and a veth pair with a gateway, so Wine counts the machine as online.
ip link set lo up
ip link add v0 type veth peer name v1
ip addr add 10.213.0.1/24 dev v0
ip addr add 10.213.0.2/24 dev v1
ip link set v0 up
ip link set v1 up
ip route add default via 10.213.0.2

export TF_RUN_DIR=${TF_RUN_DIR:-$root/build/run}
rm -rf "$TF_RUN_DIR"
mkdir -p "$TF_RUN_DIR"

# --- the vendor host resolves to this machine only.
# From the first build configured (./dev demo configures only the Windows build it runs).
export TF_VENDOR_HOST=${TF_VENDOR_HOST:-$(cat "$root"/build/{native,mingw-i686,mingw-x86_64}/CMakeCache.txt 2>/dev/null |
  sed -n 's/^VENDOR_HOST:STRING=//p' | head -1)}
TF_VENDOR_HOST=${TF_VENDOR_HOST:-www.turnaliafree.com}
{ cat /etc/hosts; echo "127.0.0.1 $TF_VENDOR_HOST"; } > "$TF_RUN_DIR/hosts"
mount --bind "$TF_RUN_DIR/hosts" /etc/hosts

# --- a test CA, trusted inside the namespace only.
export TF_CA_DIR=$TF_RUN_DIR/ca
mkdir -p "$TF_CA_DIR"
(
  cd "$TF_CA_DIR"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=TurnaliaFree Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj "/CN=$TF_VENDOR_HOST" 2>/dev/null
  printf 'subjectAltName=DNS:%s,IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' \
    "$TF_VENDOR_HOST" > ext.cnf
  openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2 \
    -extfile ext.cnf 2>/dev/null
)
bundle=/etc/ssl/certs/ca-certificates.crt
{ [[ -f $bundle ]] && cat "$bundle"; cat "$TF_CA_DIR/ca.pem"; } > "$TF_RUN_DIR/ca-bundle.crt"
[[ -f $bundle ]] || { mkdir -p /etc/ssl/certs; touch "$bundle"; }
mount --bind "$TF_RUN_DIR/ca-bundle.crt" "$bundle"

# --- which Windows build Wine can run here.
# This kernel may refuse 32-bit Linux programs (ia32 emulation off); Wine's 32-bit loader then
# cannot start, and the tests run the x86_64 build of the same sources with wine64.
if [[ -z "${TF_WIN_BUILD:-}" ]]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1 && [[ -f "$root/build/mingw-i686/setup.exe" ]]; then
    export TF_WIN_BUILD=$root/build/mingw-i686 WINE=/usr/lib/wine/wine
  else
    export TF_WIN_BUILD=$root/build/mingw-x86_64 WINE=/usr/lib/wine/wine64
  fi
fi
export WINE=${WINE:-/usr/lib/wine/wine64}
export WINELOADER=$WINE
if [[ -x /usr/lib/wine/wineserver64 ]]; then export WINESERVER=/usr/lib/wine/wineserver64; else export WINESERVER=$(command -v wineserver); fi
log "Windows build: $TF_WIN_BUILD (loader $WINE)"

pids=()
cleanup() {
  set +e
  [[ -n "${WINEPREFIX:-}" ]] && timeout 20 "$WINESERVER" -k >/dev/null 2>&1
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
}
trap cleanup EXIT

# --- a display of our own (X abstract sockets are per network namespace).
# A display number of its own, so runs side by side never share X's lock file.
export DISPLAY=:$((100 + $$ % 800))
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >"$TF_RUN_DIR/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
  xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break
  sleep 0.2
done
xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 || { log "Xvfb did not start"; exit 1; }

# --- a fresh Wine prefix, created once and settled before anything uses it.
export WINEPREFIX=$TF_RUN_DIR/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
export LANG=C.UTF-8
log "creating Wine prefix"
timeout 180 "$WINE" wineboot -u >"$TF_RUN_DIR/wineboot.log" 2>&1 || { log "wineboot failed"; exit 1; }
timeout 60 "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
timeout 60 "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 1 /f >/dev/null 2>&1
timeout 120 "$WINESERVER" -w || true
# A fresh profile's Desktop, Documents, ... are links to the Unix home: shortcuts and logs the
# programs under test write there would land outside the run. Plain folders of the prefix instead.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  if [[ -L $link ]]; then rm "$link" && mkdir "$link"; fi
done
# Keep one server alive for the whole run: a freshly booted prefix can otherwise lose state.
"$WINESERVER" -p >/dev/null 2>&1 || true

set +e
timeout --kill-after=10 "$timeout_s" "$@"
rc=$?
set -e
[[ $rc -eq 124 ]] && log "command timed out after ${timeout_s}s"
exit $rc
