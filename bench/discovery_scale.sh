#!/usr/bin/env bash
# Discovery at scale, measured from outside with the command line (needs root and a build:
# cmake --build build --target tarsel tarsel-camsim bench_discovery_scale). Not part of CI.
#   bench/discovery_scale.sh [CAMERAS_PER_LAN]          (default 500: 1,000 cameras)
# 1. CAMERAS_PER_LAN simulated cameras behind each of two adapters: how many does
#    `tarsel search --wait 1` list, and how long does it take (goal: all, within 2 s)?
# 2. The same while a noisy device floods the reply port with 20,000 junk datagrams a
#    second: how many does a default search list, and the finder's peak RSS (goal < 60 MB)?
# 3. The library alone (bench_discovery_scale): time until every reply was dispatched.
# TARSEL=/path/to/another/tarsel compares another build of the command line.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${TARSEL_BINARY_DIR:-$ROOT/build}
TARSEL=${TARSEL:-$BUILD/tools/tarsel}
PER_LAN=${1:-500}
WORK=$(mktemp -d)
NAME=""
FLOOD=""
trap '[ -z "$FLOOD" ] || kill "$FLOOD" 2>/dev/null; [ -z "$NAME" ] || bash scripts/lab down --name "$NAME"; rm -rf "$WORK"' EXIT

jq -n --argjson n "$PER_LAN" '{
  host: {adapters: [{name: "eth0", lan: "a", address: "192.168.0.5/16"},
                    {name: "eth1", lan: "b", address: "10.1.0.5/16"}]},
  cameras: [
    {lan: "a", namespace: "sitea", name: "A", mac: "00:1B:2C:A0:00:00", ip: "192.168.1.1",
     mask: "255.255.0.0", count: $n},
    {lan: "b", namespace: "siteb", name: "B", mac: "00:1B:2C:B0:00:00", ip: "10.1.1.1",
     mask: "255.255.0.0", count: $n}],
  hosts: [{name: "noisy", lan: "a", address: "192.168.200.1/16"}]}' >"$WORK/lab.json"

start=$(date +%s%N)
NAME=$(TARSEL_BINARY_DIR=$BUILD bash scripts/lab up --config "$WORK/lab.json")
echo "lab with $((2 * PER_LAN)) cameras up in $((($(date +%s%N) - start) / 1000000)) ms"

# Replies the kernel dropped in the finder's namespace because a socket buffer was full.
kernel_drops() {
  bash scripts/lab exec --name "$NAME" --ns host -- awk '/^Udp:/ && ++n == 2 {print $6}' /proc/net/snmp
}

search() {  # LABEL ARGS...: cameras listed, wall time, CPU time, peak RSS, kernel drops
  local label=$1 start ms drops rss user sys
  shift
  drops=$(kernel_drops)
  start=$(date +%s%N)
  bash scripts/lab run --name "$NAME" -- /usr/bin/time -f "%M %U %S" -o "$WORK/rss" \
    "$TARSEL" search --json "$@" >"$WORK/out.json" 2>/dev/null || true
  ms=$((($(date +%s%N) - start) / 1000000))
  read -r rss user sys < <(tail -1 "$WORK/rss")
  printf '%-34s %5s of %d listed in %5d ms (CPU %s s), peak RSS %6s KiB, %5d replies lost in the kernel\n' \
    "$label" "$(jq length "$WORK/out.json" 2>/dev/null || echo 0)" $((2 * PER_LAN)) "$ms" \
    "$(awk -v u="$user" -v s="$sys" 'BEGIN {print u + s}')" "$rss" $(($(kernel_drops) - drops))
}

search "search --wait 1" --wait 1
bash scripts/lab exec --name "$NAME" --ns noisy -- "$BUILD/tools/tarsel-camsim" --junk-flood 20000 \
  --ns-interface eth0 --flood-host 192.168.0.5 2>"$WORK/flood.log" &
FLOOD=$!
sleep 0.3
search "search (3 s) under 20,000 junk/s"
search "search --wait 1 under 20,000 junk/s" --wait 1
kill "$FLOOD" 2>/dev/null || true
wait "$FLOOD" 2>/dev/null || true
FLOOD=""
if [ -x "$BUILD/bench/bench_discovery_scale" ]; then
  bash scripts/lab run --name "$NAME" -- "$BUILD/bench/bench_discovery_scale" --expect $((2 * PER_LAN)) --timeout 60 || true
fi
