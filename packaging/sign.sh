#!/usr/bin/env bash
# Signs a Windows program in place (Authenticode, SHA-256) with osslsigncode,
# with the key that the environment names:
#   VELLORA_SIGN_PKCS12=<file.p12>            a PKCS#12 file with key and certificate(s), or
#   VELLORA_SIGN_PKCS11_KEY=<key id or pkcs11: URI>, on a token through
#     VELLORA_SIGN_PKCS11_MODULE=<module .so> with
#     VELLORA_SIGN_CERT=<certificate file> (the signer's, then its chain; PEM or DER)
#     and VELLORA_SIGN_PKCS11_ENGINE=<engine .so> (optional: OpenSSL's pkcs11 engine by default);
#   VELLORA_SIGN_PASSWORD=<password>          the PKCS#12 file's password or the token's PIN;
#   VELLORA_SIGN_TIMESTAMP_URL=<url>          an RFC 3161 time-stamp server (optional; without
#     one the signature is no longer valid once the certificate has expired).
# scripts/release.sh calls it for vellora.exe, and makensis for the installer
# and its uninstaller (!finalize, !uninstfinalize).
#
#   sign.sh <file>            signs <file>
#   sign.sh --configured      exits 0 if a key is configured, 1 if none, 2 if it is incomplete
set -euo pipefail
. "$(dirname "$0")/../scripts/common.sh"

configured() {
  if [ -n "${VELLORA_SIGN_PKCS12:-}" ]; then
    [ -z "${VELLORA_SIGN_PKCS11_KEY:-}" ] || {
      log "set VELLORA_SIGN_PKCS12 or VELLORA_SIGN_PKCS11_KEY, not both"
      return 2
    }
    [ -f "$VELLORA_SIGN_PKCS12" ] || {
      log "VELLORA_SIGN_PKCS12: no file $VELLORA_SIGN_PKCS12"
      return 2
    }
  elif [ -n "${VELLORA_SIGN_PKCS11_KEY:-}" ]; then
    [ -n "${VELLORA_SIGN_PKCS11_MODULE:-}" ] && [ -f "${VELLORA_SIGN_CERT:-}" ] || {
      log "a PKCS#11 key needs VELLORA_SIGN_PKCS11_MODULE and the certificate file VELLORA_SIGN_CERT"
      return 2
    }
  else
    return 1
  fi
}

if [ "${1:-}" = --configured ]; then
  configured && exit 0 || exit $?
fi
[ $# -eq 1 ] && [ -f "$1" ] || {
  log "usage: sign.sh <file> | --configured"
  exit 2
}
configured || {
  log "no complete signing key configured"
  exit 2
}

file=$1
# osslsigncode writes only a new file: into a fresh folder beside the old one.
work=$(mktemp -d "$(dirname "$file")/.signing.XXXXXX")
trap 'rm -rf "$work"' EXIT
signed="$work/$(basename "$file")"
key=()
if [ -n "${VELLORA_SIGN_PKCS12:-}" ]; then
  key=(-pkcs12 "$VELLORA_SIGN_PKCS12")
else
  [ -z "${VELLORA_SIGN_PKCS11_ENGINE:-}" ] || key=(-pkcs11engine "$VELLORA_SIGN_PKCS11_ENGINE")
  key+=(-pkcs11module "$VELLORA_SIGN_PKCS11_MODULE" -certs "$VELLORA_SIGN_CERT"
    -key "$VELLORA_SIGN_PKCS11_KEY")
fi
# The password through a file that only we can read, not on the command line
# where ps shows it.
if [ -n "${VELLORA_SIGN_PASSWORD:-}" ]; then
  (umask 077 && printf '%s' "$VELLORA_SIGN_PASSWORD" >"$work/password")
  key+=(-readpass "$work/password")
fi
stamp=()
[ -z "${VELLORA_SIGN_TIMESTAMP_URL:-}" ] || stamp=(-ts "$VELLORA_SIGN_TIMESTAMP_URL")
osslsigncode sign "${key[@]}" "${stamp[@]}" -h sha256 -n Vellora \
  -i "$(sed -n 's/.*"\(https:[^"]*\)", IDC_ABOUT_LINK.*/\1/p' "$VELLORA_ROOT/res/english.rc")" \
  -in "$file" -out "$signed" >/dev/null
# Keep the file's mode; replace it only when signing worked.
chmod --reference="$file" "$signed"
mv -f "$signed" "$file"
log "signed $(basename "$file")"
