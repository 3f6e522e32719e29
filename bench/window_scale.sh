#!/usr/bin/env bash
# The window at scale, in a lab (needs root and a build: cmake --build build --target
# tarsel-camsim bench_gui_lab_scale). Not part of CI.
#   bench/window_scale.sh [CAMERAS_PER_LAN]    (default 2048: 4,096 cameras; ROUNDS=3 runs)
# CAMERAS_PER_LAN simulated cameras behind each of two adapters, the window's first search
# (bench_gui_lab_scale --expect): the counter shows them all within 2.5 s of the window's
# start; the last new reply -> its row shown within 100 ms; the window's thread never
# stalls longer than 50 ms; filter or sort of all rows within 20 ms; RSS at most 150 MB.
# The window under a hostile host is in bench/hostile_host.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${TARSEL_BINARY_DIR:-$ROOT/build}
BENCH=${BENCH_GUI:-$BUILD/bench/bench_gui_lab_scale}
PER_LAN=${1:-2048}
WORK=$(mktemp -d)
NAME=""
trap '[ -z "$NAME" ] || bash scripts/lab down --name "$NAME"; rm -rf "$WORK"' EXIT

jq -n --argjson n "$PER_LAN" '{
  host: {adapters: [{name: "eth0", lan: "a", address: "192.168.0.5/16"},
                    {name: "eth1", lan: "b", address: "10.1.0.5/16"}]},
  cameras: [
    {lan: "a", namespace: "sitea", name: "A", mac: "00:1B:2C:A0:00:00", ip: "192.168.1.1",
     mask: "255.255.0.0", count: $n},
    {lan: "b", namespace: "siteb", name: "B", mac: "00:1B:2C:B0:00:00", ip: "10.1.1.1",
     mask: "255.255.0.0", count: $n}]}' >"$WORK/lab.json"

start=$(date +%s%N)
NAME=$(TARSEL_BINARY_DIR=$BUILD bash scripts/lab up --config "$WORK/lab.json")
echo "lab with $((2 * PER_LAN)) cameras up in $((($(date +%s%N) - start) / 1000000)) ms"
for round in $(seq "${ROUNDS:-3}"); do
  echo "round $round"
  bash scripts/lab run --name "$NAME" -- env QT_QPA_PLATFORM=offscreen \
    "$BENCH" --expect $((2 * PER_LAN)) || echo "  (exit $?)"
done
