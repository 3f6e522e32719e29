#!/usr/bin/env bash
# `tarsel adapters` inside a lab host namespace: two addresses on one interface (one of
# them labelled), an alias,
# a default route and a resolv.conf of its own (ip netns exec mounts
# /etc/netns/<namespace>/resolv.conf over /etc/resolv.conf). Fails when the lab cannot be
# built.
set -euo pipefail
ROOT=${TARSEL_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
BIN=${TARSEL_BINARY_DIR:-$ROOT/build}
LAB="bash $ROOT/scripts/lab"
TARSEL=$BIN/tools/tarsel
[ -x "$TARSEL" ] || { echo "FAIL: $TARSEL is not built" >&2; exit 1; }

config=$(mktemp)
trap 'rm -f "$config"' EXIT
cat >"$config" <<'JSON'
{"host": {"adapters": [
  {"name": "eth0", "lan": "a", "address": "192.168.77.5/24", "alias": "Office LAN"},
  {"name": "eth1", "lan": "b", "address": "10.77.0.7/16"}
]}, "cameras": []}
JSON
name=$($LAB up --config "$config" --no-camsim --owner $$)
ns=$($LAB ns --name "$name" host)
cleanup() {
  rm -f "$config"
  rm -rf "/etc/netns/$ns"
  $LAB down --name "$name" >/dev/null 2>&1 || true
}
trap cleanup EXIT

in_host() { $LAB exec --name "$name" --ns host -- "$@"; }
# A labelled secondary address belongs to its interface.
in_host ip addr add 192.168.77.6/24 dev eth0 label eth0:1
in_host ip route add default via 192.168.77.1 dev eth0
mkdir -p "/etc/netns/$ns"
# A local resolver is never a camera's DNS.
printf '# lab\nsearch lab\nnameserver 127.0.0.1\nnameserver 192.168.77.53\nnameserver fe80::1\nnameserver 192.168.77.54\nnameserver 192.168.77.55\n' \
  >"/etc/netns/$ns/resolv.conf"

json=$($LAB run --name "$name" -- "$TARSEL" adapters --json)
fail() { echo "FAIL: $*" >&2; echo "$json" >&2; exit 1; }
check() { # JQ-EXPRESSION EXPECTED
  local got
  got=$(jq -c "$1" <<<"$json")
  [ "$got" = "$2" ] || fail "$1 is $got, expected $2"
}
check 'length' '2'
check '[.[].name]' '["eth0","eth1"]'
check '[.[].index]' '[0,1]'
check '.[0].description' '"eth0 (Office LAN)"'
check '.[1].description' '"eth1"'
check '.[0].addresses' '[{"address":"192.168.77.5","mask":"255.255.255.0"},{"address":"192.168.77.6","mask":"255.255.255.0"}]'
check '.[1].addresses' '[{"address":"10.77.0.7","mask":"255.255.0.0"}]'
check '.[0].gateway' '"192.168.77.1"'
check '.[1].gateway' '"0.0.0.0"'
check '[.[0].dns1, .[0].dns2]' '["192.168.77.53","192.168.77.54"]'

# The same list as CSV (one row per address) and as a table in Polish.
csv=$($LAB run --name "$name" -- "$TARSEL" adapters --csv)
[ "$(printf '%s\n' "$csv" | head -n 1 | tr -d '\r')" = "index,name,description,address,mask,gateway,dns1,dns2" ] ||
  fail "CSV header: $csv"
[ "$(printf '%s\n' "$csv" | grep -c '^0,eth0,')" = 2 ] || fail "CSV rows: $csv"
table=$($LAB run --name "$name" -- "$TARSEL" --lang pl adapters)
grep -q 'Brama domyślna' <<<"$table" || fail "Polish table headers: $table"
echo "adapters: ok"
