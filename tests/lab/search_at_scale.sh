#!/usr/bin/env bash
# 1,000 cameras, 500 behind each of two adapters: a short search (--wait 1) lists each once with
# its LAN's adapter; so does a default one (--wait 3) while LAN a carries 20,000 junk
# datagrams a second. The waits are for a normal build: a sanitizer build's simulators
# answer, and its finder takes the answers in, several times slower, so they scale by the
# build's TIME_FACTOR; what is asserted stays the same.
. "$(dirname "$0")/../support/lab_preamble.sh"
fail() { echo "FAIL: $*" >&2; exit 1; }

cat >"$WORK/lab.json" <<'JSON'
{"host": {"adapters": [{"name": "eth0", "lan": "a", "address": "192.168.0.5/16"},
                       {"name": "eth1", "lan": "b", "address": "10.1.0.5/16"}]},
 "cameras": [
   {"lan": "a", "namespace": "sitea", "name": "A", "mac": "00:1B:2C:A0:00:00",
    "ip": "192.168.1.1", "mask": "255.255.0.0", "count": 500},
   {"lan": "b", "namespace": "siteb", "name": "B", "mac": "00:1B:2C:B0:00:00",
    "ip": "10.1.1.1", "mask": "255.255.0.0", "count": 500}],
 "hosts": [{"name": "noisy", "lan": "a", "address": "192.168.200.1/16"}]}
JSON
NAME=$($LAB up --config "$WORK/lab.json" --owner $$) || { NAME=""; echo "FAIL: no lab" >&2; exit 1; }

search() {  # LABEL ARGS...: all 1,000 listed, each once, each with its LAN's adapter
  local label=$1
  shift
  $LAB run --name "$NAME" -- "$TARSEL" search --json "$@" \
    >"$WORK/out.json" 2>"$WORK/err" || fail "$label failed: $(tail -2 "$WORK/err")"
  jq -e 'length == 1000 and ([.[].mac] | unique | length) == 1000 and
         all(.[]; (.mac | startswith("00:1B:2C:A")) == (.adapterName == "eth0"))' \
    "$WORK/out.json" >/dev/null || fail "$label: $(jq length "$WORK/out.json") listed, or doubled, or on the wrong adapter"
}

search "search --wait $TIME_FACTOR" --wait "$TIME_FACTOR"
$LAB exec --name "$NAME" --ns noisy -- "$TARSEL_BINARY_DIR/tools/tarsel-camsim" --junk-flood 20000 \
  --ns-interface eth0 --flood-host 192.168.0.5 2>"$WORK/flood.log" &
flood=$!
sleep 0.3
search "search under a junk flood" --wait $((3 * TIME_FACTOR))
kill -TERM "$flood" 2>/dev/null
wait "$flood" 2>/dev/null
grep "junk flood stopped" "$WORK/flood.log" || fail "no flood: $(cat "$WORK/flood.log")"
