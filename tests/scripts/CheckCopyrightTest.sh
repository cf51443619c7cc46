#!/usr/bin/env bash
# scripts/check-copyright against the copyright files of tests/data/copyright, one folder per case, on
# a small source tree made here: a valid file passes silently, each faulty one exits 1 with the lines
# of its message file.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

mkdir -p "$work/sources/src" "$work/sources/assets"
touch "$work/sources/src/Main.cpp" "$work/sources/assets/Table.dat"

for case in "$root"/tests/data/copyright/*/; do
  name="$(basename "$case")"
  message="$("$root/scripts/check-copyright" "$work/sources" <"$case/copyright" 2>&1)"
  status=$?
  if [ -f "$case/message" ]; then
    [ "$status" = 1 ] || fail "$name: exit status $status"
    [ "$message" = "$(cat "$case/message")" ] || fail "$name: said '$message'"
  else
    [ "$status" = 0 ] || fail "$name: exit status $status: $message"
    [ -z "$message" ] || fail "$name: said '$message'"
  fi
done

((failures == 0)) || { echo "$failures failures" >&2; exit 1; }
echo "check-copyright: all cases pass"
