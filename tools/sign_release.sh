#!/usr/bin/env bash
# Puts the built setup.exe in its release place, signed with Authenticode (SHA-256 digest) when
# TF_SIGN_PFX names a PKCS#12 file (certificate and key); its password is read from the file
# TF_SIGN_PASSWORD_FILE names, if set, and TF_SIGN_TIMESTAMP_URL names an RFC 3161 timestamp
# server, if set. Without TF_SIGN_PFX the copy is unsigned and one line says so.
# A failed signing leaves OUT as it was.
# Usage: tools/sign_release.sh IN OUT
set -euo pipefail
[[ $# -eq 2 ]] || { echo "usage: $0 IN OUT" >&2; exit 2; }
in=$1 out=$2

if [[ -z "${TF_SIGN_PFX:-}" ]]; then
  cp "$in" "$out"
  echo "[dev] $out is not signed (TF_SIGN_PFX not set; README: signing a release)"
  exit 0
fi
for f in TF_SIGN_PFX TF_SIGN_PASSWORD_FILE; do
  [[ -z "${!f:-}" || -r "${!f}" ]] || { echo "[dev] $f names no readable file: ${!f}" >&2; exit 1; }
done
args=(sign -pkcs12 "$TF_SIGN_PFX" -h sha256 -n TurnaliaFree)
[[ -n "${TF_SIGN_PASSWORD_FILE:-}" ]] && args+=(-readpass "$TF_SIGN_PASSWORD_FILE")
[[ -n "${TF_SIGN_TIMESTAMP_URL:-}" ]] && args+=(-ts "$TF_SIGN_TIMESTAMP_URL")

tmp=$(mktemp "$out.XXXXXX")
trap 'rm -f "$tmp" "$tmp.log"' EXIT
rm -f "$tmp"  # osslsigncode refuses to write over a file
if ! osslsigncode "${args[@]}" -in "$in" -out "$tmp" >"$tmp.log" 2>&1; then
  sed 's/^/[dev]   /' "$tmp.log" >&2
  echo "[dev] signing $in failed; $out left as it was" >&2
  exit 1
fi
mv "$tmp" "$out"
echo "[dev] $out signed (Authenticode, SHA-256${TF_SIGN_TIMESTAMP_URL:+, timestamped by $TF_SIGN_TIMESTAMP_URL})"
