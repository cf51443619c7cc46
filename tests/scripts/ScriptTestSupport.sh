# Sourced by the tests of the scripts: the repository root, a work folder removed at the end, and the
# count of failures that finish turns into the exit status.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Ends the test: 1 with the count when a case failed, else 0 with the given line.
finish() {
  ((failures == 0)) || { echo "$failures failures" >&2; exit 1; }
  echo "$1"
}
