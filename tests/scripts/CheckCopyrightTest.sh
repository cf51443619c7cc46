#!/usr/bin/env bash
# scripts/check-copyright against the copyright files of tests/data/copyright, one folder per case, on
# a small source tree made here: a valid file passes silently, each faulty one exits 1 with the lines
# of its message file.
source "$(dirname "$0")/ScriptTestSupport.sh"

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

finish "check-copyright: all cases pass"
