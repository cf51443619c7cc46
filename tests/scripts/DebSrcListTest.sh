#!/usr/bin/env bash
# scripts/deb-src-list against the apt sources files of tests/data/apt-sources, one folder per machine:
# its sources/ in, the private deb-src list (expected/) or the message (message) out. Then a list of
# an earlier set-up is replaced, and the same sources a second time change nothing.
source "$(dirname "$0")/ScriptTestSupport.sh"

for case in "$root"/tests/data/apt-sources/*/; do
  name="$(basename "$case")"
  message="$(cd "$case" && "$root/scripts/deb-src-list" "$work/$name" sources/* 2>&1)"
  status=$?
  if [ -d "$case/expected" ]; then
    [ "$status" = 0 ] || fail "$name: exit status $status: $message"
    diff -r "$case/expected" "$work/$name/sources.list.d" >&2 || fail "$name: another list than expected/"
  else
    [ "$status" = 1 ] || fail "$name: exit status $status"
    [ "$message" = "$(cat "$case/message")" ] || fail "$name: said '$message'"
  fi
done

apt_dir="$work/earlier"
mkdir -p "$apt_dir/lists"
echo "deb-src http://127.0.0.9/fixed bookworm main" >"$apt_dir/sources.list"
touch "$apt_dir/lists/.updated"
echo "deb http://127.0.0.1:3142/debian bookworm main" >"$work/sources.list"
for round in replaced unchanged changed; do
  [ "$round" = changed ] && echo "deb http://127.0.0.1:3143/debian bookworm main" >"$work/sources.list"
  "$root/scripts/deb-src-list" "$apt_dir" "$work/sources.list" || fail "$round: exit status $?"
  if [ "$round" = unchanged ]; then
    [ -e "$apt_dir/lists/.updated" ] || fail "$round: the lists are fetched anew"
  else
    [ ! -e "$apt_dir/lists/.updated" ] || fail "$round: the old lists are kept"
  fi
  touch "$apt_dir/lists/.updated"
done
[ ! -e "$apt_dir/sources.list" ] || fail "the fixed list of the earlier set-up is still there"

finish "deb-src-list: all cases pass"
