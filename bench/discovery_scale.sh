#!/usr/bin/env bash
# 250 simulated cameras (five simulator processes of 50) on one adapter: are all found by
# one search, and how long does it take against the pacing floor? Needs root and a build
# (cmake --build build --target bench_discovery_scale tarsel-camsim). Not part of CI.
#   bench/discovery_scale.sh [CAMERAS]
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${TARSEL_BINARY_DIR:-$ROOT/build}
CAMERAS=${1:-250}
GROUP=50
CONFIG=$(mktemp)
NAME=""
trap '[ -z "$NAME" ] || bash scripts/lab down --name "$NAME"; rm -f "$CONFIG"' EXIT

jq -n --argjson n "$CAMERAS" --argjson g "$GROUP" '
  def hex2: . as $v | "0123456789ABCDEF" | .[($v / 16 | floor):($v / 16 | floor) + 1] + .[($v % 16):($v % 16) + 1];
  {
  host: {adapters: [{name: "eth0", lan: "a", address: "192.168.100.5/16"}]},
  cameras: [range(0; $n) | {
    lan: "a", namespace: ("g" + ((. / $g | floor) | tostring)),
    name: ("Cam-" + (. + 1 | tostring)),
    mac: ("00:1B:2C:C0:" + ((. / 256 | floor) | hex2) + ":" + ((. % 256) | hex2)),
    ip: ("192.168." + ((. / 200 | floor) + 1 | tostring) + "." + ((. % 200) + 10 | tostring)),
    mask: "255.255.0.0"}]}' >"$CONFIG"

start=$(date +%s%N)
NAME=$(TARSEL_BINARY_DIR=$BUILD bash scripts/lab up --config "$CONFIG")
echo "lab $NAME with $CAMERAS cameras up in $((($(date +%s%N) - start) / 1000000)) ms"
status=0
bash scripts/lab run --name "$NAME" -- "$BUILD/bench/bench_discovery_scale" --expect "$CAMERAS" --timeout 60 || status=$?
for pid in $(cat /run/tarsel-lab/"$NAME"/*.pid); do
  echo "simulator pid $pid peak RSS $(awk '/VmHWM/ {print $2, $3}' /proc/"$pid"/status)"
done
exit $status
