#!/usr/bin/env bash
# Another host answers discovery as a listed camera, a little later: `set --name` sends the
# camera no address, and the other host's echo of a name the camera ignored confirms nothing.
set -uo pipefail
SRC=${TARSEL_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
BIN=${TARSEL_BINARY_DIR:-$SRC/build}
export TARSEL_BINARY_DIR=$BIN TARSEL_LAB_STATE=$(mktemp -d)
LAB="bash $SRC/scripts/lab" MAC=00:1B:2C:00:00:01 W=$TARSEL_LAB_STATE
camera() {  # $1: its address; $2: its faults
  echo "{\"lan\": \"a\", \"name\": \"Gate\", \"mac\": \"$MAC\", \"ip\": \"$1\", \"user\": \"admin\", \"password\": \"admin\", \"faults\": $2}"
}
run_case() {  # $1: the real camera's faults; $2: the name to set; then what `set` must exit
  echo "{\"host\": {\"adapters\": [{\"name\": \"eth0\", \"lan\": \"a\", \"address\": \"192.168.1.5/24\"}]},
   \"cameras\": [$(camera 192.168.1.11 "$1")],
   \"hosts\": [{\"name\": \"spoof\", \"lan\": \"a\", \"address\": \"192.168.1.66/24\"}]}" >"$W/lab.json"
  echo "{\"cameras\": [$(camera 192.168.1.66 '{"replyDelayMs": 300}')]}" >"$W/spoof.json"
  NAME=$($LAB up --config "$W/lab.json" --owner $$) || { echo "FAIL: no lab" >&2; exit 1; }
  $LAB exec --name "$NAME" --ns spoof -- "$BIN/tools/tarsel-camsim" --config "$W/spoof.json" --no-web \
    >"$W/spoof.log" 2>&1 &
  SPOOF=$!
  for _ in $(seq 100); do $LAB exec --name "$NAME" --ns spoof -- ss -Hlun 'sport = :5656' | grep -q . && break; sleep 0.1; done
  $LAB run --name "$NAME" -- "$BIN/tools/tarsel" --verbose --config "$W/t.ini" set "$MAC" --user admin \
    --password-file "$W/pw" --name "$2" >"$W/out" 2>"$W/err"
  rc=$?; kill "$SPOOF" 2>/dev/null; wait "$SPOOF" 2>/dev/null
  [ "$rc" -eq "$3" ] || { echo "FAIL: set --name $2 exited $rc, not $3: $(tail -5 "$W/err")" >&2; exit 1; }
  grep -q "answered from 192.168.1.66" "$W/err" || { echo "FAIL: no conflict logged" >&2; exit 1; }
  if grep -q "manual.address" "$W/$NAME/cam1.log"; then echo "FAIL: an address was sent: $(cat "$W/$NAME/cam1.log")" >&2; exit 1; fi
  grep -q "settings received: network.device_name=$2&" "$W/$NAME/cam1.log" || { echo "FAIL: the camera got no name" >&2; exit 1; }
  $LAB down --name "$NAME" >/dev/null 2>&1
}
trap '$LAB down --name "${NAME:-none}" >/dev/null 2>&1; rm -rf "$W"' EXIT; echo admin >"$W/pw"
run_case '{}' X 0
run_case '{"ignoreSettings": true}' Y 3
grep -q "confirmed" "$W/out" && { echo "FAIL: an ignored setting was reported confirmed" >&2; exit 1; }
echo "spoofed_answers: ok"
