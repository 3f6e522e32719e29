#!/usr/bin/env bash
# The site report of 200 cameras with pictures, inside a lab of its own (scripts/lab; needs
# root): one simulator with 200 cameras, each with its web server and a 1920 x 1080 still
# picture. `tarsel report --pictures` searches, verifies, fetches five pictures at once and
# writes the file. Goals: at most 20 s, a peak resident size of at most 100 MB, at most
# 200 KB of file per camera.
#
#   sudo bench/site_report.sh [CAMERAS]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${TARSEL_BINARY_DIR:-$ROOT/build}
CAMERAS=${1:-200}
WORK=$(mktemp -d /tmp/tarsel-bench-report-XXXXXX)
LAB=""
trap '[ -z "$LAB" ] || bash "$ROOT/scripts/lab" down --name "$LAB"; rm -rf "$WORK"' EXIT

{
  echo '{"host": {"adapters": [{"name": "eth0", "lan": "a", "address": "10.81.0.1/16"}]}, "cameras": ['
  for ((i = 0; i < CAMERAS; i++)); do
    [ "$i" -eq 0 ] || echo ','
    printf '{"lan": "a", "namespace": "site", "name": "Cam-%03d", "mac": "02:1B:2C:81:%02X:%02X",' \
      "$i" $((i / 256)) $((i % 256))
    printf ' "ip": "10.81.%d.%d", "mask": "255.255.0.0", "model": "TRL-D320", "firmware": "5.2.%d",' \
      $((i / 250 + 1)) $((i % 250 + 1)) $((i % 3))
    printf ' "web": {"snapshotWidth": 1920, "snapshotHeight": 1080}}'
  done
  echo ']}'
} >"$WORK/lab.json"
LAB=$(TARSEL_BINARY_DIR=$BUILD bash "$ROOT/scripts/lab" up --config "$WORK/lab.json" --owner $$)

status=0
bash "$ROOT/scripts/lab" run --name "$LAB" -- env TARSEL_PASSWORD=admin /usr/bin/time -v \
  "$BUILD/tools/tarsel" report --out "$WORK/site.html" --pictures --user admin \
  >"$WORK/out" 2>"$WORK/err" || status=$?
[ "$status" -eq 0 ] || { echo "report ended with $status:"; tail -5 "$WORK/err"; exit 1; }
grep -q "$CAMERAS camera(s) in $WORK/site.html, $CAMERAS with a picture" "$WORK/err" ||
  { echo "not every camera has its picture:"; grep camera "$WORK/err"; exit 1; }

SECONDS_TAKEN=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
  for (i = 1; i <= n; i++) s = s * 60 + t[i]; printf "%.2f", s }' "$WORK/err")
PEAK_MB=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$WORK/err")
SIZE=$(stat -c %s "$WORK/site.html")
PER_CAMERA_KB=$(awk -v s="$SIZE" -v n="$CAMERAS" 'BEGIN { printf "%.1f", s / n / 1024 }')
verdict=PASS
awk -v t="$SECONDS_TAKEN" -v m="$PEAK_MB" -v k="$PER_CAMERA_KB" 'BEGIN { exit !(t <= 20 && m <= 100 && k <= 200) }' ||
  verdict=FAIL
printf '%d cameras with pictures: %.2f s (goal 20), peak RSS %.1f MB (goal 100), %.1f KB per camera (goal 200), file %d bytes: %s\n' \
  "$CAMERAS" "$SECONDS_TAKEN" "$PEAK_MB" "$PER_CAMERA_KB" "$SIZE" "$verdict"
[ "$verdict" = PASS ]
