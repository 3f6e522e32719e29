#!/usr/bin/env bash
# A hostile host on the LAN, in a lab (needs root and a build: cmake --build build --target
# tarsel tarsel-camsim bench_gui_lab_scale). Not part of CI.
#   bench/hostile_host.sh [command|window|set]...     (default: all three)
# command: one host answers as 30,000 different cameras within 15 s (2,000 valid replies a
#   second): `tarsel search --wait 15` ends on time, lists at most 8,192 cameras, peak RSS
#   at most 100 MB (wall time, cameras listed, CPU time, peak RSS).
# window: the same flood while the window runs (bench_gui_lab_scale --watch): it answers a
#   click within 100 ms throughout and for 10 s afterwards.
# set: 20,000 spoofed replies a second from one host while `tarsel set` renames a real
#   camera: it confirms (exit 0), as it does without the flood.
# TARSEL=/path/to/another/tarsel and BENCH_GUI=/path/to/another/bench_gui_lab_scale compare
# other builds.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${TARSEL_BINARY_DIR:-$ROOT/build}
TARSEL=${TARSEL:-$BUILD/tools/tarsel}
CAMSIM=$BUILD/tools/tarsel-camsim
BENCH=${BENCH_GUI:-$BUILD/bench/bench_gui_lab_scale}
CAMERA=00:1B:2C:00:00:01
PARTS=${*:-command window set}
WORK=$(mktemp -d)
NAME=""
FLOOD=""
stop_flood() {
  [ -z "$FLOOD" ] || { kill "$FLOOD" 2>/dev/null || true; wait "$FLOOD" 2>/dev/null || true; }
  FLOOD=""
}
trap 'stop_flood; [ -z "$NAME" ] || bash scripts/lab down --name "$NAME"; rm -rf "$WORK"' EXIT

cat >"$WORK/lab.json" <<JSON
{"host": {"adapters": [{"name": "eth0", "lan": "a", "address": "192.168.0.5/16"}]},
 "cameras": [{"lan": "a", "name": "Real", "mac": "$CAMERA", "ip": "192.168.1.10",
              "mask": "255.255.0.0", "user": "admin", "password": "admin"}],
 "hosts": [{"name": "noisy", "lan": "a", "address": "192.168.200.1/16"}]}
JSON
NAME=$(TARSEL_BINARY_DIR=$BUILD bash scripts/lab up --config "$WORK/lab.json")

flood() {  # RATE [OPTIONS...]: valid replies from the noisy host, in the background
  local rate=$1
  shift
  bash scripts/lab exec --name "$NAME" --ns noisy -- "$CAMSIM" --reply-flood "$rate" \
    --ns-interface eth0 --flood-host 192.168.0.5 "$@" 2>"$WORK/flood.log" &
  FLOOD=$!
}

for part in $PARTS; do
  case $part in
    command)
      flood 2000 --flood-seconds 15 --flood-cameras 30000
      start=$(date +%s%N)
      bash scripts/lab run --name "$NAME" -- /usr/bin/time -f "%M %U %S" -o "$WORK/time" \
        "$TARSEL" search --wait 15 --json >"$WORK/out.json" 2>"$WORK/err" || true
      ms=$((($(date +%s%N) - start) / 1000000))
      read -r rss user sys <"$WORK/time"
      printf 'search --wait 15 under 30,000 MACs: %s listed in %d ms, CPU %s s user + %s s system, peak RSS %s KiB\n' \
        "$(jq length "$WORK/out.json" 2>/dev/null || echo 0)" "$ms" "$user" "$sys" "$rss"
      stop_flood
      ;;
    window)
      bash scripts/lab run --name "$NAME" -- env QT_QPA_PLATFORM=offscreen "$BENCH" --watch 27 \
        >"$WORK/window.txt" 2>&1 &
      window=$!
      sleep 2
      flood 2000 --flood-seconds 15 --flood-cameras 30000
      wait "$window" || true
      stop_flood
      echo "window under 30,000 MACs for 15 s (flood from about 2 s to 17 s):"
      cat "$WORK/window.txt"
      ;;
    set)
      for flooded in no yes; do
        [ "$flooded" = no ] || { flood 20000; sleep 1; }
        start=$(date +%s%N)
        code=0
        bash scripts/lab run --name "$NAME" -- env TARSEL_PASSWORD=admin "$TARSEL" set "$CAMERA" \
          --user admin --name "Renamed-$flooded" >"$WORK/set.out" 2>"$WORK/set.err" || code=$?
        ms=$((($(date +%s%N) - start) / 1000000))
        stop_flood
        printf 'set, flood of 20,000 replies/s: %-3s exit %d after %d ms  %s\n' "$flooded" "$code" \
          "$ms" "$(tail -1 "$WORK/set.err")"
        [ "$flooded" = no ] || sed -n 's/.*flood stopped/  flood stopped/p' "$WORK/flood.log"
      done
      ;;
    *) echo "unknown part $part (command, window, set)" >&2; exit 1 ;;
  esac
done
