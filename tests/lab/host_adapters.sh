#!/usr/bin/env bash
# `tarsel adapters` inside a lab host namespace: two addresses on one interface (one of
# them labelled), an alias, a default route and a resolv.conf of its own (ip netns exec
# mounts /etc/netns/<namespace>/resolv.conf over /etc/resolv.conf).
. "$(dirname "$0")/../support/lab_preamble.sh"
cat >"$WORK/lab.json" <<'JSON'
{"host": {"adapters": [
  {"name": "eth0", "lan": "a", "address": "192.168.77.5/24", "alias": "Office LAN"},
  {"name": "eth1", "lan": "b", "address": "10.77.0.7/16"}
]}, "cameras": []}
JSON
NAME=$($LAB up --config "$WORK/lab.json" --no-camsim --owner $$) || { NAME=""; echo "FAIL: no lab" >&2; exit 1; }
ns=$($LAB ns --name "$NAME" host)
trap '[ -z "$ns" ] || rm -rf "/etc/netns/$ns"; cleanup' EXIT

in_host() { $LAB exec --name "$NAME" --ns host -- "$@"; }
# A labelled secondary address belongs to its interface.
in_host ip addr add 192.168.77.6/24 dev eth0 label eth0:1
in_host ip route add default via 192.168.77.1 dev eth0
mkdir -p "/etc/netns/$ns"
# A local resolver is never a camera's DNS.
printf '# lab\nsearch lab\nnameserver 127.0.0.1\nnameserver 192.168.77.53\nnameserver fe80::1\nnameserver 192.168.77.54\nnameserver 192.168.77.55\n' \
  >"/etc/netns/$ns/resolv.conf"

json=$($LAB run --name "$NAME" -- "$TARSEL" adapters --json)
fail() { echo "FAIL: $*" >&2; echo "$json" >&2; exit 1; }
# Per adapter: name, index, description, addresses with masks, gateway, the first two DNS.
want='[["eth0",0,"eth0 (Office LAN)",[{"address":"192.168.77.5","mask":"255.255.255.0"},'\
'{"address":"192.168.77.6","mask":"255.255.255.0"}],"192.168.77.1","192.168.77.53","192.168.77.54"],'\
'["eth1",1,"eth1",[{"address":"10.77.0.7","mask":"255.255.0.0"}],"0.0.0.0"]]'
got=$(jq -c '[.[] | [.name, .index, .description, .addresses, .gateway] +
  (if .index == 0 then [.dns1, .dns2] else [] end)]' <<<"$json")
[ "$got" = "$want" ] || fail "adapters are $got, expected $want"

# The same list as CSV (one row per address) and as a table in Polish.
csv=$($LAB run --name "$NAME" -- "$TARSEL" adapters --csv)
[ "$(printf '%s\n' "$csv" | head -n 1 | tr -d '\r')" = "index,name,description,address,mask,gateway,dns1,dns2" ] ||
  fail "CSV header: $csv"
[ "$(printf '%s\n' "$csv" | grep -c '^0,eth0,')" = 2 ] || fail "CSV rows: $csv"
table=$($LAB run --name "$NAME" -- "$TARSEL" --lang pl adapters)
grep -q 'Brama domyślna' <<<"$table" || fail "Polish table headers: $table"
echo "adapters: ok"
