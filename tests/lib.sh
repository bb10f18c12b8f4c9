# Sourced by the end-to-end tests: a private work folder and state root, and
# the checks' bookkeeping. SCRIVEX_BIN names the program directory.
set -u
BIN=${SCRIVEX_BIN:?SCRIVEX_BIN must name the program directory of a build}
WORK=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$WORK"' EXIT
export SCRIVEX_HOME="$WORK/home" TMPDIR="$WORK/tmp"
mkdir -p "$SCRIVEX_HOME" "$TMPDIR"
cd "$WORK" || exit 1
failures=0

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# check <description> <command...>: the command must succeed.
check() {
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
# finish <name>: the script's verdict as its exit code.
finish() {
  if [ "$failures" -ne 0 ]; then echo "$1: $failures check(s) failed"; exit 1; fi
  echo "$1: all checks passed"
}
