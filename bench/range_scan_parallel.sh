#!/usr/bin/env bash
# How long `tarsel scan --jobs 64` takes over a /24 where nothing listens, inside a lab of
# its own (scripts/lab; needs root). Goal: at most 3 s (one address at a time takes about
# 51 s: 254 probes of 200 ms).
#
#   sudo bench/range_scan_parallel.sh [JOBS]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${TARSEL_BINARY_DIR:-$ROOT/build}
JOBS=${1:-64}
CONFIG=$(mktemp /tmp/tarsel-bench-scan-XXXXXX.json)
echo '{"host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.79.0.1/24"}]}}' >"$CONFIG"
LAB=$(bash "$ROOT/scripts/lab" up --config "$CONFIG" --owner $$)
trap 'bash "$ROOT/scripts/lab" down --name "$LAB"; rm -f "$CONFIG"' EXIT
START=$(date +%s.%N)
status=0
bash "$ROOT/scripts/lab" run --name "$LAB" -- env TARSEL_PASSWORD=admin "$BUILD/tools/tarsel" \
  scan 10.79.0.1 10.79.0.254 --jobs "$JOBS" --user admin >/dev/null 2>&1 || status=$?
END=$(date +%s.%N)
SECONDS_TAKEN=$(awk -v a="$START" -v b="$END" 'BEGIN { printf "%.3f", b - a }')
[ "$status" -eq 2 ] || { echo "scan ended with $status, expected 2 (nothing found)"; exit 1; }
if awk -v t="$SECONDS_TAKEN" 'BEGIN { exit !(t <= 3) }'; then verdict=PASS; else verdict=FAIL; fi
printf '254 silent addresses with %s jobs in %.2f s; goal 3 s: %s\n' "$JOBS" "$SECONDS_TAKEN" "$verdict"
[ "$verdict" = PASS ]
