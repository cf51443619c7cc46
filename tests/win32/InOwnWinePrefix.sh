#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of its own, made afresh from the template prefix, with
# a wineserver of its own that is ended with it: for tests that change the system of the prefix (its
# system folder, the machine's registry). scripts/test provides the X display.
# Usage: InOwnWinePrefix.sh PREFIX PROGRAM [ARGUMENTS...]; exits with the program's status.
set -uo pipefail
HALCYRA_ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
if [ $# -lt 2 ]; then
  echo "usage: InOwnWinePrefix.sh PREFIX PROGRAM [ARGUMENTS...]" >&2
  exit 2
fi
# Wine wants an absolute path.
export WINEPREFIX="$(realpath -m -- "$1")"
shift
source "$HALCYRA_ROOT/scripts/wine-env"
if [ -z "${DISPLAY:-}" ]; then
  echo "InOwnWinePrefix.sh: no DISPLAY; run the Windows tests through scripts/test" >&2
  exit 2
fi

wine_prepare_prefix
"$WINESERVER" -p || exit 1
trap '"$WINESERVER" -k >/dev/null 2>&1' EXIT
# Wine's own services started detached from our output, which ctest waits on (see scripts/test).
"$WINE" wineboot >/dev/null 2>&1 </dev/null
"$WINE" "$@"
