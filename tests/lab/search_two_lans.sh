#!/usr/bin/env bash
# A finder host with two adapters on two LANs and ten cameras: one configured in a foreign
# subnet (found all the same, since cameras answer by broadcast), one that never answers.
# `tarsel search --json` must list exactly the nine that answer, each once, each with the
# adapter it answered through; a capture on the host's adapters must show, per adapter,
# broadcast then multicast for each query, every datagram carrying that adapter's address,
# and the datagrams leaving at least 30 ms apart.
# Fails (never skips) when the lab cannot be built.
. "$(dirname "$0")/../support/lab_preamble.sh"

cat >"$WORK/lab.json" <<'EOF'
{
  "host": {"adapters": [
    {"name": "eth0", "lan": "a", "address": "192.168.1.5/24"},
    {"name": "eth1", "lan": "b", "address": "10.0.0.7/24"}]},
  "cameras": [
    {"lan": "a", "name": "A-01", "mac": "00:1B:2C:20:00:01", "ip": "192.168.1.101"},
    {"lan": "a", "name": "A-02", "mac": "00:1B:2C:20:00:02", "ip": "192.168.1.102", "mode": "dhcp"},
    {"lan": "a", "name": "A-03", "mac": "00:1B:2C:20:00:03", "ip": "192.168.1.103", "httpPort": 8080},
    {"lan": "a", "name": "Foreign", "mac": "00:1B:2C:20:00:04", "ip": "172.16.5.9", "mask": "255.255.0.0"},
    {"lan": "a", "name": "Mute", "mac": "00:1B:2C:20:00:05", "ip": "192.168.1.105",
     "faults": {"neverAnswer": true}},
    {"lan": "b", "name": "B-01", "mac": "00:1B:2C:20:00:06", "ip": "10.0.0.51"},
    {"lan": "b", "name": "B-02", "mac": "00:1B:2C:20:00:07", "ip": "10.0.0.52"},
    {"lan": "b", "name": "B-03", "mac": "00:1B:2C:20:00:08", "ip": "10.0.0.53"},
    {"lan": "b", "name": "B-04", "mac": "00:1B:2C:20:00:09", "ip": "10.0.0.54"},
    {"lan": "b", "name": "B-05", "mac": "00:1B:2C:20:00:0A", "ip": "10.0.0.55"}]
}
EOF

NAME=$($LAB up --config "$WORK/lab.json" --owner $$) || { echo "FAIL: the lab could not be built" >&2; NAME=""; exit 1; }

# One capture per adapter, of what the host sends to the cameras' port.
for ifname in eth0 eth1; do
  $LAB run --name "$NAME" -- tcpdump -i "$ifname" -Q out -nn -U -w "$WORK/$ifname.pcap" \
    'udp dst port 5656' 2>"$WORK/$ifname.tcpdump.log" &
  echo $! >"$WORK/$ifname.tcpdump.pid"
done
for ifname in eth0 eth1; do
  for _ in $(seq 1 100); do grep -q "listening on" "$WORK/$ifname.tcpdump.log" && break; sleep 0.05; done
  grep -q "listening on" "$WORK/$ifname.tcpdump.log" || fail "tcpdump on $ifname did not start"
done

$LAB run --name "$NAME" -- "$TARSEL" search --wait 2 --json >"$WORK/search.json" 2>"$WORK/search.err"
status=$?
sleep 0.2
for ifname in eth0 eth1; do
  kill -INT "$(cat "$WORK/$ifname.tcpdump.pid")" 2>/dev/null
done
wait

[ "$status" -eq 0 ] || fail "tarsel search exited $status: $(cat "$WORK/search.err")"
jq -e 'type == "array"' "$WORK/search.json" >/dev/null || fail "search output is not a JSON array"

count=$(jq length "$WORK/search.json")
[ "$count" = 9 ] || fail "expected 9 cameras, got $count"
unique=$(jq '[.[].mac] | unique | length' "$WORK/search.json")
[ "$unique" = "$count" ] || fail "a camera is listed twice"
jq -e 'any(.[]; .mac == "00:1B:2C:20:00:05")' "$WORK/search.json" >/dev/null &&
  fail "the camera that never answers is listed"
# Every camera with the adapter of its LAN.
while IFS=$'\t' read -r mac adapter adapterName; do
  case "$mac" in
    00:1B:2C:20:00:0[1-4]) want=192.168.1.5 wantName=eth0 ;;
    *) want=10.0.0.7 wantName=eth1 ;;
  esac
  [ "$adapter" = "$want" ] && [ "$adapterName" = "$wantName" ] ||
    fail "$mac answered through $adapter/$adapterName, expected $want/$wantName"
done < <(jq -r '.[] | [.mac, .adapter, .adapterName] | @tsv' "$WORK/search.json")
# The foreign-subnet camera is listed; every camera carries its fields, port and mode.
jq -e 'any(.[]; .mac == "00:1B:2C:20:00:04" and .ip == "172.16.5.9" and .name == "Foreign") and
  all(.[]; .status == "View" and .viaHttp == false and .model != "" and .fwVersion != "") and
  any(.[]; .mac == "00:1B:2C:20:00:03" and .httpPort == 8080) and
  any(.[]; .mac == "00:1B:2C:20:00:02" and .mode == "dhcp")' "$WORK/search.json" >/dev/null ||
  fail "a camera is missing or lacks fields (foreign subnet, status, model, port, mode)"

# The capture: "time dst version type hostAddress" per datagram.
dump() {
  tcpdump -r "$1" -tt -nn -x 2>/dev/null | awk -v ifname="$2" '
    function hexv(s,   i, v) { v = 0; for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1; return v }
    function flush() { if (t != "") { split(hex, b, " ");
        # IPv4 header (20 bytes) and UDP header (8 bytes) come first.
        v = b[29] b[30] b[31] b[32]; ty = b[33] b[34];
        h = sprintf("%d.%d.%d.%d", hexv(b[35]), hexv(b[36]), hexv(b[37]), hexv(b[38]));
        print t, ifname, dst, v, ty, h } t = ""; hex = "" }
    /^[0-9]+\.[0-9]+ IP / { flush(); t = $1; dst = $5; sub(/:$/, "", dst); next }
    /^\t0x/ { line = $0; sub(/^\t0x[0-9a-f]+: +/, "", line);
      gsub(/  .*/, "", line); n = split(line, w, " ");
      for (i = 1; i <= n; i++) hex = hex " " substr(w[i], 1, 2) " " substr(w[i], 3, 2) }
    END { flush() }'
}
{ dump "$WORK/eth0.pcap" eth0; dump "$WORK/eth1.pcap" eth1; } | sort -n >"$WORK/sent.txt"

expected_order="eth0 255.255.255.255.5656 0101fefe 0200 192.168.1.5
eth0 239.0.0.10.5656 0200fdff 0200 192.168.1.5
eth1 255.255.255.255.5656 0101fefe 0200 10.0.0.7
eth1 239.0.0.10.5656 0200fdff 0200 10.0.0.7
eth0 255.255.255.255.5656 0101fefe 6400 192.168.1.5
eth0 239.0.0.10.5656 0200fdff 6400 192.168.1.5
eth1 255.255.255.255.5656 0101fefe 6400 10.0.0.7
eth1 239.0.0.10.5656 0200fdff 6400 10.0.0.7"
actual_order=$(cut -d' ' -f2- "$WORK/sent.txt")
if [ "$actual_order" != "$expected_order" ]; then
  fail "datagrams on the wire differ from the expected order"
  echo "expected:" >&2; echo "$expected_order" >&2
  echo "captured:" >&2; echo "$actual_order" >&2
fi
# At least 30 ms between consecutive datagrams (1 ms allowed for capture timestamps).
gaps=$(awk 'NR > 1 { printf "%.1f\n", ($1 - p) * 1000 } { p = $1 }' "$WORK/sent.txt")
while read -r gap; do
  [ -n "$gap" ] || continue
  awk -v g="$gap" 'BEGIN { exit !(g >= 29.0) }' || fail "datagrams only $gap ms apart"
done <<<"$gaps"

[ "$failures" -eq 0 ] || { echo "search_two_lans: $failures failure(s); search output:" >&2
  cat "$WORK/search.json" "$WORK/search.err" >&2; exit 1; }
echo "search_two_lans: 9 cameras, each once on its adapter; 8 datagrams in order, gaps (ms): $(echo $gaps)"
