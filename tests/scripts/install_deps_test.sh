#!/usr/bin/env bash
# scripts/install-deps.sh against a throwaway apt configuration whose only
# source does not exist: the failed update is retried and passed over, an
# installed package is never asked for, and a package that can't be had
# fails the script with its name. The machine's own indexes stay untouched.
set -u
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/lists/partial" "$tmp/cache/archives/partial" "$tmp/sources.list.d"
echo "deb [trusted=yes] file:$tmp/no-mirror no-such-suite main" >"$tmp/sources.list"
cat >"$tmp/apt.conf" <<CONF
Dir::Etc::SourceList "$tmp/sources.list";
Dir::Etc::SourceParts "$tmp/sources.list.d";
Dir::State::Lists "$tmp/lists";
Dir::Cache "$tmp/cache";
Debug::NoLocking "true";
CONF
export APT_CONFIG="$tmp/apt.conf" INSTALL_DEPS_RETRY_PAUSE=0
fail=0
check() { # description, command...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}
[ "$(id -u)" -eq 0 ] || { echo "needs root (apt-get without sudo)"; exit 77; }

lists_before=$(stat -c %Y /var/lib/apt/lists)

"$script" bash >"$tmp/out1" 2>&1
check "installed package: exit 0" [ $? -eq 0 ]
check "installed package: apt not run" [ ! -s "$tmp/out1" ]

"$script" bash ornax-no-such-package >"$tmp/out2" 2>&1
rc=$?
check "missing package: exit non-zero" [ $rc -ne 0 ]
check "failed update reported and passed over" grep -q 'apt-get update failed 3 times.*going on' "$tmp/out2"
check "install retried with the release" grep -q "target release $(. /etc/os-release; echo "$VERSION_CODENAME")" "$tmp/out2"
check "only the missing package named" grep -qx 'install-deps: could not install: ornax-no-such-package' "$tmp/out2"
check "machine's own indexes untouched" [ "$(stat -c %Y /var/lib/apt/lists)" = "$lists_before" ]
[ $fail -eq 0 ] || { echo "--- script output:"; cat "$tmp/out2"; }
exit $fail
