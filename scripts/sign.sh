#!/usr/bin/env bash
# Signs files in place with Authenticode (SHA-256), with Debian's osslsigncode:
#   scripts/sign.sh FILE...
# The certificate comes from the environment, never from a command line that
# other users can read:
#   ORNAX_SIGN_PKCS12         the PKCS#12 file: code-signing certificate, its
#                             chain and its private key
#   ORNAX_SIGN_PASSWORD_FILE  a file holding its password, or else
#   ORNAX_SIGN_PASSWORD       the password itself (none when both are unset)
#   ORNAX_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server (optional)
# The release build calls it for every file a user runs or loads, and makensis
# for the installer and its uninstaller.
set -euo pipefail
pkcs12=${ORNAX_SIGN_PKCS12:?"sign.sh: ORNAX_SIGN_PKCS12 names no certificate"}
[ $# -gt 0 ] || { echo "usage: sign.sh FILE..." >&2; exit 2; }
command -v osslsigncode >/dev/null || "$(dirname "$0")/install-deps.sh" osslsigncode

timestamp=()
[ -n "${ORNAX_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$ORNAX_SIGN_TIMESTAMP_URL")
for file in "$@"; do
  signed="$file.signing"
  # The password reaches osslsigncode through a file or a pipe of its own.
  if [ -n "${ORNAX_SIGN_PASSWORD_FILE:-}" ]; then
    password=(-readpass "$ORNAX_SIGN_PASSWORD_FILE")
  elif [ -n "${ORNAX_SIGN_PASSWORD+set}" ]; then
    exec 3< <(printf '%s' "$ORNAX_SIGN_PASSWORD")
    password=(-readpass /dev/fd/3)
  else
    password=()
  fi
  if ! osslsigncode sign -pkcs12 "$pkcs12" "${password[@]}" -h sha256 "${timestamp[@]}" \
      -in "$file" -out "$signed" >"$signed.log" 2>&1; then
    cat "$signed.log" >&2
    rm -f "$signed" "$signed.log"
    echo "sign.sh: could not sign $file" >&2
    exit 1
  fi
  exec 3<&-
  rm -f "$signed.log"
  mv -f "$signed" "$file"
done
