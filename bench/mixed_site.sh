#!/usr/bin/env bash
# A mixed site at scale (needs root and a build:
# cmake --build build --target tarsel tarsel-camsim bench_mixed_site). Not part of CI.
#   bench/mixed_site.sh [CAMERAS_PER_LAN] [ONVIF_PER_LAN] [REPORT_DEVICES]
#                                          (default 500 128 200: 1,000 + 256, a report of 200)
# 1. Behind two adapters, CAMERAS_PER_LAN cameras of this family and ONVIF_PER_LAN ONVIF
#    devices of other makers on each LAN, each device answering after a random 0-500 ms:
#    does `tarsel search --wait 1` list every one, how long until it exits, what peak RSS?
#    (goal: all 1,256 in 1.5 s, 64 MB)
#    The window's first search of the same site counts them all (bench_gui_lab_scale, when
#    built; goal: 1.5 s from the window's start).
# 2. The facts of every ONVIF device read with the credentials through the engine
#    (bench_mixed_site: one search, then VerifyOnvifAll). (goal: 256 in 10 s)
# 3. In a lab of its own, the site report of REPORT_DEVICES ONVIF devices with a 1920 x 1080
#    picture each: `tarsel report --pictures` searches, verifies them with one password and
#    fetches the pictures through the engine. (goal: 200 in 20 s, 100 MB)
# TARSEL=/path/to/another/tarsel compares another build of the command line.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${TARSEL_BINARY_DIR:-$ROOT/build}
TARSEL=${TARSEL:-$BUILD/tools/tarsel}
PER_LAN=${1:-500}
ONVIF_PER_LAN=${2:-128}
REPORT_DEVICES=${3:-200}
WORK=$(mktemp -d)
NAME=""
trap '[ -z "$NAME" ] || bash scripts/lab down --name "$NAME"; rm -rf "$WORK"' EXIT

# ONVIF devices of one LAN, one namespace for them all; every device has its own endpoint,
# address and MAC.
onvif_devices='def hex2: "0123456789ABCDEF" as $h | $h[(. / 16 | floor):(. / 16 | floor) + 1] + $h[(. % 16):(. % 16) + 1];
def onvif(n; lan; ns; net; prefix; maker):
  [range(0; n) | {lan: lan, namespace: ns, native: false,
    mac: ("02:00:5E:" + prefix + ":" + (. / 256 | floor | hex2) + ":" + (. % 256 | hex2)),
    ip: (net + ((. / 200 | floor) + 20 | tostring) + "." + ((. % 200) + 10 | tostring)), mask: "255.255.0.0",
    onvif: {replyDelayMaxMs: 500, maker: maker, model: ((maker[0:2] | ascii_upcase) + "-" + ((. % 3) + 1 | tostring)),
            firmware: ("2." + (. % 4 | tostring)), snapshotWidth: 1920, snapshotHeight: 1080,
            endpoint: ("urn:uuid:00000000-0000-4000-8000-" + prefix + ("0000000000" + tostring | .[-10:]))}}];'

jq -n --argjson n "$PER_LAN" --argjson m "$ONVIF_PER_LAN" "$onvif_devices"'
  {host: {adapters: [{name: "eth0", lan: "a", address: "192.168.0.5/16"},
                     {name: "eth1", lan: "b", address: "10.1.0.5/16"}]},
   cameras: ([
    {lan: "a", namespace: "sitea", name: "A", mac: "00:1B:2C:A0:00:00", ip: "192.168.1.1",
     mask: "255.255.0.0", count: $n},
    {lan: "b", namespace: "siteb", name: "B", mac: "00:1B:2C:B0:00:00", ip: "10.1.1.1",
     mask: "255.255.0.0", count: $n}] +
    onvif($m; "a"; "onva"; "192.168."; "0A"; "Northwind") + onvif($m; "b"; "onvb"; "10.1."; "0B"; "Kestrel"))}' \
  >"$WORK/lab.json"

start=$(date +%s%N)
NAME=$(TARSEL_BINARY_DIR=$BUILD bash scripts/lab up --config "$WORK/lab.json")
echo "lab with $((2 * PER_LAN)) cameras and $((2 * ONVIF_PER_LAN)) ONVIF devices up in $((($(date +%s%N) - start) / 1000000)) ms"

TOTAL=$((2 * PER_LAN + 2 * ONVIF_PER_LAN))
for run in 1 2 3; do
  start=$(date +%s%N)
  bash scripts/lab run --name "$NAME" -- /usr/bin/time -v -o "$WORK/time" \
    "$TARSEL" search --json --wait 1 >"$WORK/out.json" 2>/dev/null || true
  ms=$((($(date +%s%N) - start) / 1000000))
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
    for (i = 1; i <= n; i++) s = s * 60 + t[i]; printf "%.0f", s * 1000 }' "$WORK/time")
  rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$WORK/time")
  listed=$(jq length "$WORK/out.json" 2>/dev/null || echo 0)
  onvif=$(jq '[.[] | select(.protocol == "onvif" or .mac == "")] | length' "$WORK/out.json" 2>/dev/null || echo 0)
  printf 'search --wait 1: %5s of %d listed (%s ONVIF), %5d ms until exit (%d ms with the lab run), peak RSS %6s KiB\n' \
    "$listed" "$TOTAL" "$onvif" "$wall" "$ms" "$rss"
done
bash scripts/lab run --name "$NAME" -- "$BUILD/bench/bench_mixed_site" 1000 admin admin
# The window's first search of the same site: when its counter shows every row.
if [ -x "$BUILD/bench/bench_gui_lab_scale" ]; then
  bash scripts/lab run --name "$NAME" -- env QT_QPA_PLATFORM=offscreen \
    "$BUILD/bench/bench_gui_lab_scale" --expect "$TOTAL" || echo "  (window bench exit $?)"
fi
bash scripts/lab down --name "$NAME"
NAME=""

# The site report of REPORT_DEVICES ONVIF devices with pictures, on one LAN.
jq -n --argjson m "$REPORT_DEVICES" "$onvif_devices"'
  {host: {adapters: [{name: "eth0", lan: "a", address: "10.82.0.1/16"}]},
   cameras: onvif($m; "a"; "onv"; "10.82."; "0C"; "Northwind")}' >"$WORK/report.json"
NAME=$(TARSEL_BINARY_DIR=$BUILD bash scripts/lab up --config "$WORK/report.json")
status=0
bash scripts/lab run --name "$NAME" -- env TARSEL_PASSWORD=admin /usr/bin/time -v \
  "$TARSEL" report --out "$WORK/site.html" --pictures --user admin --wait 1 \
  >"$WORK/out" 2>"$WORK/err" || status=$?
SECONDS_TAKEN=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
  for (i = 1; i <= n; i++) s = s * 60 + t[i]; printf "%.2f", s }' "$WORK/err")
PEAK_MB=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$WORK/err")
PICTURES=$(grep -o 'src="data:image/jpeg' "$WORK/site.html" 2>/dev/null | wc -l)
# 16:9 thumbnails of 320 x 180 say the pictures fetched were the simulator's 1920 x 1080.
grep -o 'width="[0-9]*" height="[0-9]*"' "$WORK/site.html" 2>/dev/null | sort | uniq -c | sed 's/^ */thumbnails: /' || true
grep 'camera(s) in' "$WORK/err" || tail -3 "$WORK/err"
printf 'report of %d ONVIF devices (exit %d): %d pictures, %.2f s (goal 20), peak RSS %.1f MB (goal 100), file %d bytes\n' \
  "$REPORT_DEVICES" "$status" "$PICTURES" "$SECONDS_TAKEN" "$PEAK_MB" "$(stat -c %s "$WORK/site.html" 2>/dev/null || echo 0)"
