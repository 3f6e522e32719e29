#!/usr/bin/env bash
# Hostile inputs against the memory goal, inside a lab of its own (scripts/lab; needs root
# and a build: cmake --build build --target tarsel tarsel-camsim bench_hostile_inputs).
# Cameras that send crafted pictures (bench/hostile_inputs.cpp), and hostile saved searches
# and plans: every command stays at or under a peak resident size of 100 MB.
#   sudo bench/hostile_inputs.sh
# TARSEL=/path/to/another/tarsel measures another build against the same inputs.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${TARSEL_BINARY_DIR:-$ROOT/build}
TARSEL=${TARSEL:-$BUILD/tools/tarsel}
WORK=$(mktemp -d /tmp/tarsel-bench-inputs-XXXXXX)
chmod 755 "$WORK"
LAB=""
trap '[ -n "${KEEP:-}" ] || { [ -z "$LAB" ] || bash "$ROOT/scripts/lab" down --name "$LAB"; rm -rf "$WORK"; }' EXIT

"$BUILD/bench/bench_hostile_inputs" "$WORK"

# Groups of cameras on one LAN, each sending one kind of picture: 6 hidden, 5 multi-scan,
# 5 large. Camera g.i: MAC 02:1B:2C:82:0g:0i, address 10.82.g.i.
KINDS=(hidden:6 multiscan:5 large:5)
{
  echo '{"host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.82.0.1/16"}]}, "cameras": ['
  first=1
  for ((g = 1; g <= ${#KINDS[@]}; g++)); do
    kind=${KINDS[g - 1]%%:*}
    for ((i = 1; i <= ${KINDS[g - 1]##*:}; i++)); do
      [ "$first" -eq 1 ] || echo ','
      first=0
      printf '{"lan": "a", "namespace": "site", "name": "%s-%d", "mac": "02:1B:2C:82:%02X:%02X",' \
        "$kind" "$i" "$g" "$i"
      printf ' "ip": "10.82.%d.%d", "mask": "255.255.0.0", "web": {"snapshotFile": "%s/%s.jpg"}}' \
        "$g" "$i" "$WORK" "$kind"
    done
  done
  echo ']}'
} >"$WORK/lab.json"
LAB=$(TARSEL_BINARY_DIR=$BUILD bash "$ROOT/scripts/lab" up --config "$WORK/lab.json" --owner $$)

# A saved search of one group, so that a report fetches exactly its pictures.
saved() {  # GROUP COUNT
  local out="[" i
  for ((i = 1; i <= $2; i++)); do
    [ "$i" -eq 1 ] || out+=","
    out+=$(printf '{"mac": "02:1B:2C:82:%02X:%02X", "ip": "10.82.%d.%d", "httpPort": 80}' "$1" "$i" "$1" "$i")
  done
  echo "$out]" >"$WORK/group$1.json"
  echo "$WORK/group$1.json"
}

verdict=PASS
measure() {  # LABEL COMMAND...
  local label=$1 status=0 peak
  shift
  bash "$ROOT/scripts/lab" run --name "$LAB" -- env TARSEL_PASSWORD=admin /usr/bin/time -v \
    "$TARSEL" "$@" >"$WORK/out" 2>"$WORK/err" || status=$?
  peak=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$WORK/err")
  local line
  line=$(grep -v '^\s' "$WORK/err" | grep -v 'Command exited' | tail -1 | cut -c1-90)
  awk -v m="$peak" 'BEGIN { exit !(m <= 100) }' || verdict=FAIL
  printf '%-40s peak RSS %7.1f MB (exit %d) %s\n' "$label" "$peak" "$status" "$line"
}

measure "snapshot of a hidden 10000x10000" snapshot 02:1B:2C:82:01:01 -o "$WORK/shot.jpg" --user admin
measure "report: 6 hidden 10000x10000" report --from "$(saved 1 6)" --pictures --user admin --out "$WORK/r1.html"
measure "report: 5 multi-scan 8 MP" report --from "$(saved 2 5)" --pictures --user admin --out "$WORK/r2.html"
measure "report: 5 bodies of 15.5 MiB" report --from "$(saved 3 5)" --pictures --user admin --out "$WORK/r3.html"
for file in nested numbers objects many full; do
  measure "report --from $file.json" report --from "$WORK/$file.json" --out "$WORK/$file.html"
done
measure "apply --dry-run of 599,000 short rows" apply --dry-run "$WORK/plan.csv"
echo "every command at or under 100 MB: $verdict"
[ "$verdict" = PASS ]
