#!/usr/bin/env bash
# A value that would split the settings text is refused before anything reaches the camera:
# `set --name 'a&b=c'` exits 1 naming the character, and the simulated camera's log shows no
# settings received; an ordinary set right after shows up in that log (the log is read right).
# Fails (never skips) when the lab cannot be built.
set -uo pipefail

SRC=${TARSEL_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
BIN=${TARSEL_BINARY_DIR:-$SRC/build}
export TARSEL_BINARY_DIR=$BIN
WORK=$(mktemp -d)
export TARSEL_LAB_STATE=$WORK/state
LAB="bash $SRC/scripts/lab"
TARSEL=$BIN/tools/tarsel
NAME=""
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
cleanup() {
  [ -z "$NAME" ] || $LAB down --name "$NAME" >/dev/null 2>&1
  rm -rf "$WORK"
}
trap cleanup EXIT
[ -x "$TARSEL" ] || { echo "FAIL: $TARSEL is not built" >&2; exit 1; }

MAC=00:1B:2C:31:00:01
cat >"$WORK/lab.json" <<JSON
{"host": {"adapters": [{"name": "eth0", "lan": "a", "address": "192.168.1.5/24"}]},
 "cameras": [{"lan": "a", "name": "Plain", "mac": "$MAC", "ip": "192.168.1.11"}]}
JSON
NAME=$($LAB up --config "$WORK/lab.json" --owner $$) || { echo "FAIL: the lab could not be built" >&2; NAME=""; exit 1; }
echo admin >"$WORK/pw"
T() { $LAB run --name "$NAME" -- "$TARSEL" --config "$WORK/tarsel.ini" "$@"; }
LOG=$TARSEL_LAB_STATE/$NAME/cam1.log

T set "$MAC" --user admin --password-file "$WORK/pw" --name 'a&b=c' >/dev/null 2>"$WORK/e1"
rc=$?
[ $rc -eq 1 ] || fail "'a&b=c' exit $rc, want 1: $(cat "$WORK/e1")"
grep -q '"&"' "$WORK/e1" || fail "the refusal does not name \"&\": $(cat "$WORK/e1")"
T set "$MAC" --user admin --password-file "$WORK/pw" --name "$(printf 'line\nbreak')" >/dev/null 2>"$WORK/e2"
rc=$?
[ $rc -eq 1 ] && grep -q "U+000A" "$WORK/e2" || fail "a line break: exit $rc, $(cat "$WORK/e2")"
if grep -q "settings received" "$LOG"; then fail "the camera received settings: $(cat "$LOG")"; fi

T set "$MAC" --user admin --password-file "$WORK/pw" --name 'Cam #2 A' >/dev/null 2>"$WORK/e3" ||
  fail "an ordinary name was not confirmed: $(cat "$WORK/e3")"
grep -q "settings received: network.device_name=Cam #2 A&" "$LOG" || fail "the camera log lacks the set: $(cat "$LOG")"

if [ "$failures" -gt 0 ]; then
  echo "settings_refused: $failures failure(s)" >&2
  exit 1
fi
echo "settings_refused: separators and control characters refused before sending"
