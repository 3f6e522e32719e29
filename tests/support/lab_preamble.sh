# Sourced by the lab scripts in tests/lab: where the sources and the build are, a work
# folder, failures counted by fail(), and the lab named in $NAME always taken down at the
# end (after the script's own before_cleanup, when it defines one). A script that cannot
# build its lab fails: it never skips.
set -uo pipefail
SRC=${TARSEL_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
BIN=${TARSEL_BINARY_DIR:-$SRC/build}
export TARSEL_BINARY_DIR=$BIN
LAB="bash $SRC/scripts/lab"
TARSEL=$BIN/tools/tarsel
# A sanitizer build's programs are several times slower: waits that decide an outcome are
# multiplied by this (1 for a normal build; set by the build for its tests).
TIME_FACTOR=${TARSEL_TIME_FACTOR:-1}
WORK=$(mktemp -d)
NAME=""
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
cleanup() {
  ! declare -F before_cleanup >/dev/null || before_cleanup
  [ -z "$NAME" ] || $LAB down --name "$NAME" >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT
[ -x "$TARSEL" ] || { echo "FAIL: $TARSEL is not built" >&2; exit 1; }
