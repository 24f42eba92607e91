#!/usr/bin/env bash
# A release signed with a throwaway certificate authority, made here:
#   tests/release/signed_release_test.sh SOURCE_DIR WORK_DIR
# builds dist/, the zip, the installer and the package manifest in WORK_DIR
# with the release build's own signing, and again with another authority's
# certificate, then checks every signature against the second authority, that
# a file changed after signing fails, that the zip holds the signed files, and
# the manifest. The Wine side (the signed installer
# installs, the program switches, the uninstaller is signed) is the installer
# test, which takes WORK_DIR from here.
set -euo pipefail
# Only the throwaway authority signs here, whatever the caller's settings.
unset ORNAX_SIGN_PKCS12 ORNAX_SIGN_PASSWORD_FILE ORNAX_SIGN_PASSWORD ORNAX_SIGN_TIMESTAMP_URL
src=$(cd "$1" && pwd)
work=$2
mkdir -p "$work"
work=$(cd "$work" && pwd)
pki=$work/pki
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# A new authority and code-signing certificate, valid for two days.
make_authority() {
  rm -rf "$pki" && mkdir -p "$pki"
  (
    cd "$pki"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Swivo Test Authority $1" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
    openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Swivo Test Publisher"
    printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" "extendedKeyUsage=codeSigning" >signer.ext
    openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out signer.pem -days 2 -extfile signer.ext
    openssl rand -hex 12 >password
    openssl pkcs12 -export -out signer.p12 -inkey signer.key -in signer.pem -certfile ca.pem -passout file:password
  ) >"$work/pki.log" 2>&1 || { cat "$work/pki.log" >&2; exit 1; }
}

# The release build, signing with the password in the environment.
build_release() {
  cmake -S "$src" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DORNAX_TESTS=OFF \
    -DORNAX_DIST_DIR="$work/dist" -DORNAX_RELEASE_DIR="$work/release" \
    -DORNAX_SIGN_PKCS12="$pki/signer.p12" -DORNAX_SIGN_PASSWORD_FILE= -DORNAX_SIGN_TIMESTAMP_URL= \
    -DORNAX_DOWNLOAD_BASE=https://downloads.example.com/swivo >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log" >&2; exit 1; }
  grep -q -- '-- Signing: with ' "$work/configure.log" || fail "configure does not say that it signs"
  ORNAX_SIGN_PASSWORD=$(cat "$pki/password") cmake --build "$work/build" -j"$(nproc)" --target release \
    >"$work/build.log" 2>&1 || { tail -30 "$work/build.log" >&2; exit 1; }
}

# Built with one authority's certificate, then with another's at the same
# path: the second must sign every file again, with nothing else changed.
make_authority first
build_release
cp "$pki/ca.pem" "$work/first-ca.pem"
make_authority second
build_release

verify() { osslsigncode verify -CAfile "$pki/ca.pem" -in "$1" >"$work/verify.log" 2>&1; }
version=$(sed -n 's/^project(ORNAX VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
setup=$work/release/SwivoSetup-$version.exe
files=("$setup")
for f in "$work"/dist/*; do files+=("$f"); done
[ ${#files[@]} -eq 12 ] || fail "dist/ holds $((${#files[@]} - 1)) files, not ORNAX.exe, TessaroHook.dll and nine RES_*.DLL"
for f in "${files[@]}"; do
  if verify "$f" && grep -q 'Signature verification: ok' "$work/verify.log"; then
    echo "signed: ${f#"$work"/}"
  else
    fail "${f#"$work"/} does not verify:"; cat "$work/verify.log" >&2
  fi
  if osslsigncode verify -CAfile "$work/first-ca.pem" -in "$f" >/dev/null 2>&1; then
    fail "${f#"$work"/} still carries the first certificate's signature"
  fi
done

# A byte changed after signing: in a code section, and in the installer's data.
for f in dist/ORNAX.exe "release/SwivoSetup-$version.exe"; do
  cp "$work/$f" "$work/changed.exe"
  size=$(stat -c %s "$work/changed.exe")
  printf '\x5a' | dd of="$work/changed.exe" bs=1 seek=$((size / 3)) conv=notrunc status=none
  if verify "$work/changed.exe"; then fail "$f still verifies after a change"; else echo "changed, fails: $f"; fi
done
rm -f "$work/changed.exe"

# The password from a file does as well; a wrong one signs nothing.
cp "$work/dist/RES_DE.DLL" "$work/by-file.dll"
ORNAX_SIGN_PKCS12=$pki/signer.p12 ORNAX_SIGN_PASSWORD_FILE=$pki/password "$src/scripts/sign.sh" "$work/by-file.dll" ||
  fail "sign.sh with a password file"
verify "$work/by-file.dll" || fail "a file signed with the password from a file does not verify"
cp "$work/dist/ORNAX.exe" "$work/wrong.exe" && before=$(sha256sum <"$work/wrong.exe")
if ORNAX_SIGN_PKCS12=$pki/signer.p12 ORNAX_SIGN_PASSWORD=wrong "$src/scripts/sign.sh" "$work/wrong.exe" 2>/dev/null; then
  fail "sign.sh succeeded with a wrong password"
fi
[ "$(sha256sum <"$work/wrong.exe")" = "$before" ] || fail "a failed signing changed the file"
rm -f "$work/by-file.dll" "$work/wrong.exe"

# The zip holds the signed files themselves; the manifest is right.
python3 "$src/tests/release/check_release.py" "$work/dist" "$work/release" "$version" \
  https://downloads.example.com/swivo || failures=$((failures + 1))

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "signed release: every check passed"
