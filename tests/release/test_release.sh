#!/usr/bin/env bash
# The release steps on a copy of the built setup.exe: signing (tools/sign_release.sh) with a
# throw-away code-signing certificate under a test root, checked by `osslsigncode verify`, and the
# package-manager manifests (tools/winget_manifest.py) checked by tests/release/check_winget.py.
# Usage: tests/release/test_release.sh [UNSIGNED_SETUP_EXE]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$(realpath "${1:-$root/build/mingw-i686/setup.exe}")
# The published schemas beside the checkout; a checkout elsewhere uses the copy it carries.
schemas=$root/../shared/schemas/winget-1.10.0
[[ -d $schemas ]] || schemas=$root/tests/release/schemas/winget-1.10.0
schemas=${TF_WINGET_SCHEMAS:-$schemas}
work=$(mktemp -d)
tsa_pid=
trap '[[ -n $tsa_pid ]] && kill $tsa_pid 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
unset TF_SIGN_PFX TF_SIGN_PASSWORD_FILE TF_SIGN_TIMESTAMP_URL
fail=0 passed=0
check() { if eval "$2"; then echo "ok - $1"; passed=$((passed+1)); else echo "FAILED - $1"; fail=$((fail+1)); fi; }
sign() { env "$@" "$root/tools/sign_release.sh" setup.exe "$out" >sign.out 2>&1; }
verify() { osslsigncode verify -CAfile root.pem -TSA-CAfile root.pem -in "$1" >verify.out 2>&1; }

# A test root, a code-signing certificate and a timestamping one under it; the first in a
# PKCS#12 file whose password is in a file (with its newline, as an editor leaves it).
cert() {  # name subject extendedKeyUsage
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" 2>/dev/null &&
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=critical,%s\n' "$3" >"$1.ext" &&
    openssl x509 -req -in "$1.csr" -CA root.pem -CAkey root.key -CAcreateserial -out "$1.pem" -days 2 \
      -extfile "$1.ext" 2>/dev/null
}
openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 2 -subj "/CN=TurnaliaFree Test Root" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
cert signer "TurnaliaFree Test Signer" codeSigning && cert tsa "TurnaliaFree Test TSA" timeStamping || exit 1
echo 'clave de prueba' >password
openssl pkcs12 -export -in signer.pem -inkey signer.key -certfile root.pem -passout file:password -out signer.pfx
printf '[tsa]\ndefault_tsa=t\n[t]\nserial=%s/serial\nsigner_cert=tsa.pem\ncerts=root.pem\nsigner_key=tsa.key\nsigner_digest=sha256\ndefault_policy=1.2.3.4.1\ndigests=sha256\ness_cert_id_alg=sha256\n' \
  "$work" >tsa.cnf && echo 01 >serial
cp "$exe" setup.exe

out=unsigned.exe
sign
check "without TF_SIGN_PFX: an unsigned copy and one line saying so" \
  'cmp -s setup.exe unsigned.exe && [[ $(wc -l <sign.out) -eq 1 ]] && grep -q "not signed" sign.out'

python3 "$root/tests/release/tsa_server.py" "$work/tsa.cnf" 1 >tsa.port 2>tsa.err &
tsa_pid=$!
for _ in $(seq 1 100); do [[ -s tsa.port ]] && break; sleep 0.1; done
out=signed.exe
sign TF_SIGN_PFX=signer.pfx TF_SIGN_PASSWORD_FILE=password TF_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat tsa.port)/"
check "signed: the signature, its chain to the test root and the timestamp verify" \
  'verify signed.exe && grep -q "Message digest algorithm  : SHA256" verify.out &&
   grep -q "Timestamp Server Signature verification: ok" verify.out && grep -q "^Succeeded" verify.out'
cp signed.exe uninstall.exe
check "the copy made as uninstall.exe verifies" 'verify uninstall.exe'
python3 -c 'import sys; b = bytearray(open(sys.argv[1], "rb").read()); b[0x1000] ^= 1; open(sys.argv[1], "wb").write(b)' uninstall.exe
check "a byte changed after signing fails verification" '! verify uninstall.exe && grep -q MISMATCH verify.out'
check "without the test root the chain does not verify" '! osslsigncode verify -in signed.exe >/dev/null 2>&1'
echo wrong >wrong
cp signed.exe kept.exe && out=kept.exe
sign TF_SIGN_PFX=signer.pfx TF_SIGN_PASSWORD_FILE=wrong
src=$?
check "a wrong password fails, says why and leaves the previous file" \
  '[[ $src -ne 0 ]] && grep -q "Wrong password" sign.out && cmp -s signed.exe kept.exe'

python3 "$root/tools/winget_manifest.py" --exe signed.exe --host www.example.com --out winget >/dev/null &&
  /usr/bin/python3 "$root/tests/release/check_winget.py" winget signed.exe "$root" "$schemas" >winget.out 2>&1
wrc=$?
sed 's/^/    /' winget.out
check "package-manager manifests of the signed setup.exe" '[[ $wrc -eq 0 ]]'
echo "$passed passed, $fail failed"
[[ $fail -eq 0 ]]
