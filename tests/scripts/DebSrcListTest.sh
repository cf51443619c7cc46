#!/usr/bin/env bash
# scripts/deb-src-list against apt sources files in a temporary folder: what private deb-src list each
# machine's sources give, when a list of an earlier set-up is replaced, and what is said when no file
# has an entry. Mirrors are given as a local proxy address and a file URI, never as a host name.
set -uo pipefail
derive="$(cd "$(dirname "$0")/../.." && pwd)/scripts/deb-src-list"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# derives CASE INPUT_NAME INPUT EXPECTED_NAME EXPECTED: the sources file named INPUT_NAME holding INPUT
# gives the private file EXPECTED_NAME holding EXPECTED, and nothing else.
derives() {
  local case="$1" input_name="$2" input="$3" expected_name="$4" expected="$5"
  local dir="$work/$case"
  mkdir -p "$dir/etc"
  printf '%s\n' "$input" >"$dir/etc/$input_name"
  "$derive" "$dir/apt" "$dir/etc/$input_name" || { fail "$case: exit status $?"; return; }
  local written
  written="$(cd "$dir/apt/sources.list.d" && ls)"
  [ "$written" = "$expected_name" ] || fail "$case: wrote '$written', expected '$expected_name'"
  local actual
  actual="$(cat "$dir/apt/sources.list.d/$expected_name" 2>/dev/null)"
  [ "$actual" = "$expected" ] || fail "$case: wrote
$actual
expected
$expected"
}

derives deb822-mirror debian.sources \
'Types: deb
# a comment
URIs: http://127.0.0.1:3142/debian file:/srv/mirror/debian
Suites: bookworm bookworm-updates
Components: main contrib
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://127.0.0.1:3142/debian-security
Suites: bookworm-security
Components: main' \
00-debian.sources \
'Types: deb-src
URIs: http://127.0.0.1:3142/debian file:/srv/mirror/debian
Suites: bookworm bookworm-updates
Components: main contrib
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://127.0.0.1:3142/debian-security
Suites: bookworm-security
Components: main'

derives deb822-disabled-and-both-types mirror.sources \
'types: deb
uris: http://127.0.0.1:3142/old
suites: bullseye
components: main
enabled: no

Types: deb deb-src
URIs: http://127.0.0.1:3142/debian
Suites: bookworm
Components: main
Enabled: yes
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL0BUBEADmW5NdOOHwPIJlgPu6JDcKw/NZJPR8lsD3K87ZM18gzyQZJD+w
 -----END PGP PUBLIC KEY BLOCK-----' \
00-mirror.sources \
'Types: deb-src
URIs: http://127.0.0.1:3142/debian
Suites: bookworm
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL0BUBEADmW5NdOOHwPIJlgPu6JDcKw/NZJPR8lsD3K87ZM18gzyQZJD+w
 -----END PGP PUBLIC KEY BLOCK-----'

derives one-line-mirror sources.list \
'# deb cdrom:[Debian GNU/Linux 12]/ bookworm main
deb  [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://127.0.0.1:3142/debian bookworm main non-free-firmware # the mirror
deb-src [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://127.0.0.1:3142/debian bookworm main non-free-firmware
   deb file:/srv/mirror/debian-security bookworm-security main' \
00-sources.list \
'deb-src [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://127.0.0.1:3142/debian bookworm main non-free-firmware
deb-src file:/srv/mirror/debian-security bookworm-security main'

# A list of an earlier set-up (one fixed line) and its fetched lists are replaced; the same sources
# a second time change nothing.
dir="$work/earlier"
mkdir -p "$dir/etc" "$dir/apt/lists"
echo "deb-src http://127.0.0.9/fixed bookworm main" >"$dir/apt/sources.list"
touch "$dir/apt/lists/.updated"
echo "deb http://127.0.0.1:3142/debian bookworm main" >"$dir/etc/sources.list"
"$derive" "$dir/apt" "$dir/etc/sources.list" || fail "earlier: exit status $?"
[ ! -e "$dir/apt/sources.list" ] || fail "earlier: the fixed list is still there"
[ ! -e "$dir/apt/lists/.updated" ] || fail "earlier: the lists are not fetched anew"
touch "$dir/apt/lists/.updated"
"$derive" "$dir/apt" "$dir/etc/sources.list" || fail "earlier, again: exit status $?"
[ -e "$dir/apt/lists/.updated" ] || fail "earlier, again: unchanged sources fetch the lists anew"
echo "deb http://127.0.0.1:3143/debian bookworm main" >"$dir/etc/sources.list"
"$derive" "$dir/apt" "$dir/etc/sources.list" || fail "earlier, changed: exit status $?"
[ ! -e "$dir/apt/lists/.updated" ] || fail "earlier, changed: changed sources keep the old lists"

# No entry: the message names the files that were read.
dir="$work/none"
mkdir -p "$dir/etc"
printf '# deb http://127.0.0.1:3142/debian bookworm main\n' >"$dir/etc/sources.list"
printf 'Types: deb\nURIs: http://127.0.0.1:3142/debian\nSuites: bookworm\nComponents: main\nEnabled: no\n' >"$dir/etc/debian.sources"
message="$("$derive" "$dir/apt" "$dir/etc/sources.list" "$dir/etc/missing.list" "$dir/etc/debian.sources" 2>&1)"
status=$?
[ "$status" = 1 ] || fail "none: exit status $status"
[ "$message" = "deb-src-list: no deb or deb-src entry in $dir/etc/sources.list $dir/etc/debian.sources" ] ||
  fail "none: said '$message'"

if ((failures)); then
  echo "$failures failures" >&2
  exit 1
fi
echo "deb-src-list: all cases pass"
