#!/usr/bin/env bash
# `set --name 'a&b=c'`, a gateway outside the new subnet and (without --force) an address
# outside this PC's subnets each exit 1 with the reason, and the simulated camera's log shows
# no settings received; an ordinary name right after does show there (the log is read right).
set -uo pipefail
SRC=${TARSEL_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
BIN=${TARSEL_BINARY_DIR:-$SRC/build}
export TARSEL_BINARY_DIR=$BIN TARSEL_LAB_STATE=$(mktemp -d)
LAB="bash $SRC/scripts/lab" MAC=00:1B:2C:31:00:01 W=$TARSEL_LAB_STATE
echo "{\"host\": {\"adapters\": [{\"name\": \"eth0\", \"lan\": \"a\", \"address\": \"192.168.1.5/24\"}]},
 \"cameras\": [{\"lan\": \"a\", \"name\": \"Plain\", \"mac\": \"$MAC\", \"ip\": \"192.168.1.11\"}]}" >"$W/lab.json"
NAME=$($LAB up --config "$W/lab.json" --owner $$) || { echo "FAIL: no lab" >&2; exit 1; }
trap '$LAB down --name "$NAME" >/dev/null 2>&1; rm -rf "$W"' EXIT
echo admin >"$W/pw"
T() { $LAB run --name "$NAME" -- "$BIN/tools/tarsel" --config "$W/t.ini" set "$MAC" --user admin --password-file "$W/pw" "$@"; }
T --name 'a&b=c' >/dev/null 2>"$W/e1"
rc=$?
[ $rc -eq 1 ] && grep -q '"&"' "$W/e1" || { echo "FAIL: exit $rc: $(cat "$W/e1")" >&2; exit 1; }
T --ip 192.168.2.31 --gateway 192.168.1.254 >/dev/null 2>"$W/e3"; rc=$?
[ $rc -eq 1 ] && grep -q "same subnet" "$W/e3" || { echo "FAIL: gateway: exit $rc: $(cat "$W/e3")" >&2; exit 1; }
T --ip 192.168.2.31 --gateway 0.0.0.0 >/dev/null 2>"$W/e4"; rc=$?
[ $rc -eq 1 ] && grep -q -- "--force" "$W/e4" || { echo "FAIL: unreachable: exit $rc: $(cat "$W/e4")" >&2; exit 1; }
if grep -q "settings received" "$W/$NAME/cam1.log"; then echo "FAIL: sent: $(cat "$W/$NAME/cam1.log")" >&2; exit 1; fi
T --name 'Cam #2 A' >/dev/null 2>"$W/e2" || { echo "FAIL: not confirmed: $(cat "$W/e2")" >&2; exit 1; }
grep -q "settings received: network.device_name=Cam #2 A&" "$W/$NAME/cam1.log" || { echo "FAIL: log lacks the set" >&2; exit 1; }
echo "settings_refused: ok"
