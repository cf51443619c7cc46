#!/usr/bin/env bash
# scripts/check-package against a package made here that has the program and nothing else, with a
# maintainer without an address: it exits 1 and names what is missing and what lintian finds.
source "$(dirname "$0")/ScriptTestSupport.sh"

tree="$work/tree"
mkdir -p "$tree/DEBIAN" "$tree/usr/bin"
printf '#!/bin/sh\nexit 0\n' >"$tree/usr/bin/halcyra-screensaver"
chmod 0755 "$tree/usr/bin/halcyra-screensaver" "$tree/usr" "$tree/usr/bin"
cat >"$tree/DEBIAN/control" <<CONTROL
Package: halcyra-screensaver
Version: 1.0
Architecture: all
Maintainer: Tessaly Software
Description: screensaver
 A package with the program alone.
CONTROL
dpkg-deb --root-owner-group -b "$tree" "$work/bare.deb" >/dev/null || { echo "cannot make the package" >&2; exit 1; }

report="$("$root/scripts/check-package" "$work/bare.deb" 2>&1)"
status=$?
[ "$status" = 1 ] || fail "exit status $status"
for expected in \
  "check-package: /usr/share/doc/halcyra-screensaver/copyright is missing" \
  "check-package: /usr/share/doc/halcyra-screensaver/changelog.gz is missing" \
  "check-package: lintian reports:" \
  "E: halcyra-screensaver: malformed-contact Maintainer Tessaly" \
  "E: halcyra-screensaver: no-copyright-file"; do
  grep -qxF -- "$expected" <<<"$report" || fail "does not say '$expected'"
done
grep -q "^running with root privileges" <<<"$report" && fail "passes on lintian's note about root"

((failures == 0)) || echo "$report" >&2
finish "check-package: a bare package is refused"
