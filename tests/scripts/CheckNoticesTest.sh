#!/usr/bin/env bash
# scripts/check-notices with the repository's notices file against a small map of the module's link
# (tests/data/notices): the notices cover it silently; a library whose section is gone, an archive of
# a Debian package no section names and an unreadable file are each reported.
source "$(dirname "$0")/ScriptTestSupport.sh"

notices="$root/packaging/windows/THIRD-PARTY-NOTICES.txt"
map="$root/tests/data/notices/HalcyraScreensaver.map"

# Runs the check; sets status and message.
check() { message="$("$root/scripts/check-notices" "$@" 2>&1)"; status=$?; }
expect() {
  [ "$status" = "$1" ] || fail "$3: exit status $status: $message"
  [ "$message" = "$2" ] || fail "$3: said '$message'"
}

check "$notices" "$map"
expect 0 "" "the repository's notices"

grep -v '^Linked as: libgif.a$' "$notices" >"$work/THIRD-PARTY-NOTICES.txt"
check "$work/THIRD-PARTY-NOTICES.txt" "$map"
expect 1 "notices: /home/builder/.cache/halcyra/mingw-deps/lib/libgif.a is in the module, but no section of THIRD-PARTY-NOTICES.txt is linked as libgif.a" \
  "without the section of libgif.a"

{ cat "$map"; echo "LOAD /usr/lib/x86_64-linux-gnu/crt1.o"; } >"$work/with-crt1.map"
check "$notices" "$work/with-crt1.map"
expect 1 "notices: /usr/lib/x86_64-linux-gnu/crt1.o of the Debian package libc6-dev is in the module, but no section of THIRD-PARTY-NOTICES.txt names that package" \
  "with an object of a package no section names"

check "$notices" "$work/missing.map"
expect 2 "check-notices: cannot read $work/missing.map: No such file or directory" "an unreadable map"

finish "check-notices: all cases pass"
