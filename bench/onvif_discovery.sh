#!/usr/bin/env bash
# ONVIF discovery at scale (needs root and a build:
# cmake --build build --target tarsel-camsim bench_onvif_discovery). Not part of CI.
#   bench/onvif_discovery.sh [DEVICES_PER_LAN]          (default 128: 256 devices)
# DEVICES_PER_LAN simulated ONVIF devices behind each of two adapters, each answering after
# a random 0-500 ms: how many does one search with a 1 s wait list, and when did the last
# one arrive (goal: all, within the wait)? Then the facts of every device with credentials
# (goal: 256 devices in 10 s).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${TARSEL_BINARY_DIR:-$ROOT/build}
PER_LAN=${1:-128}
WORK=$(mktemp -d)
NAME=""
trap '[ -z "$NAME" ] || bash scripts/lab down --name "$NAME"; rm -rf "$WORK"' EXIT

# One entry per device (the lab puts each entry's address on its namespace's interface).
jq -n --argjson n "$PER_LAN" '
  def devices(lan; ns; prefix): [range(0; $n) | {lan: lan, namespace: ns, native: false,
    mac: ("02:00:5E:" + prefix + ":00:01"),
    ip: ((if lan == "a" then "192.168.2." else "10.2.2." end) + ((. + 10) | tostring)),
    onvif: {replyDelayMaxMs: 500,
            endpoint: ("urn:uuid:00000000-0000-4000-8000-" + prefix + ("0000000000" + tostring | .[-10:]))}}];
  {host: {adapters: [{name: "eth0", lan: "a", address: "192.168.2.5/24"},
                     {name: "eth1", lan: "b", address: "10.2.2.5/24"}]},
   cameras: (devices("a"; "onva"; "0A") + devices("b"; "onvb"; "0B"))}' >"$WORK/lab.json"

start=$(date +%s%N)
NAME=$(TARSEL_BINARY_DIR=$BUILD bash scripts/lab up --config "$WORK/lab.json")
echo "lab with $((2 * PER_LAN)) ONVIF devices up in $((($(date +%s%N) - start) / 1000000)) ms"
for run in 1 2 3; do
  bash scripts/lab run --name "$NAME" -- /usr/bin/time -f "peak RSS %M KiB" \
    "$BUILD/bench/bench_onvif_discovery" 1000 eth0=192.168.2.5 eth1=10.2.2.5 \
    $([ "$run" -eq 3 ] && echo --read admin admin 16)
done
