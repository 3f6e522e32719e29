#!/usr/bin/env bash
# The engine's commands against simulated cameras on one LAN:
#   verify: right and wrong password; a batch of 10 cameras of which 2 have another
#           password and 1 answers too late: Pass 7, Fail 2, the late one counted nowhere;
#           --all over every camera that answered;
#   set:    a manual camera's address, mask, gateway, name and port, confirmed, and the
#           camera's interface follows; a switch to DHCP confirmed with the leased address,
#           which the interface carries too;
#           a camera that ignores settings times out after 25 s (the real value);
#   reboot: the camera goes silent and comes back;
#   default --keep-ip keeps the network settings, default restores the factory ones (on
#           the camera's interface as well).
# Fails (never skips) when the lab cannot be built.
. "$(dirname "$0")/../support/lab_preamble.sh"

cam() {  # n name ip [extra json]
  printf '{"lan": "a", "name": "%s", "mac": "00:1B:2C:30:00:%02X", "ip": "%s", "rebootSilentMs": 4000%s}' \
    "$2" "$1" "$3" "${4:-}"
}
{
  echo '{"host": {"adapters": [{"name": "eth0", "lan": "a", "address": "192.168.1.5/24"}]}, "cameras": ['
  for i in 1 2 3 4 5 6 7; do cam "$i" "V-0$i" "192.168.1.1$i"; echo ","; done
  cam 8 "Late" "192.168.1.18" ', "faults": {"replyDelayMs": 7000}'; echo ","
  cam 9 "Other-1" "192.168.1.19" ', "password": "other"'; echo ","
  cam 10 "Other-2" "192.168.1.20" ', "password": "other"'; echo ","
  cam 11 "Deaf" "192.168.1.21" ', "faults": {"ignoreSettings": true}'; echo ","
  cam 12 "Fact" "192.168.1.22" ', "factory": {"ip": "192.168.1.222", "mask": "255.255.255.0", "gateway": "", "mode": "manual", "name": "Factory-12"}'
  echo ']}'
} >"$WORK/lab.json"

NAME=$($LAB up --config "$WORK/lab.json" --owner $$) || { echo "FAIL: the lab could not be built" >&2; NAME=""; exit 1; }
echo admin >"$WORK/pw"
echo wrong >"$WORK/bad"
T() { $LAB run --name "$NAME" -- "$TARSEL" --config "$WORK/tarsel.ini" "$@"; }
MAC() { printf '00:1B:2C:30:00:%02X' "$1"; }
field() {  # json mac key
  jq -r --arg m "$2" --arg k "$3" '.[] | select(.mac == $m) | .[$k]' <<<"$1"
}

# ---- verify
T verify "$(MAC 1)" --user admin --password-file "$WORK/pw" --json >"$WORK/v1" 2>"$WORK/v1.err"
[ $? -eq 0 ] && [ "$(jq -r '.[0].result' "$WORK/v1")" = pass ] || fail "right password not passed: $(cat "$WORK/v1" "$WORK/v1.err")"
T verify "$(MAC 1)" --user admin --password-file "$WORK/bad" >/dev/null 2>"$WORK/v2.err"
[ $? -eq 4 ] || fail "wrong password did not exit 4: $(cat "$WORK/v2.err")"
T verify $(for i in 1 2 3 4 5 6 7 8 9 10; do MAC $i; echo; done) --wait 8 --user admin \
  --password-file "$WORK/pw" --json >"$WORK/v3" 2>"$WORK/v3.err"
rc=$?
[ "$(jq length "$WORK/v3")" = 10 ] || fail "batch of 10 printed $(jq length "$WORK/v3") rows"
grep -q "Pass: 7, Fail: 2, no answer: 1" "$WORK/v3.err" || fail "batch counts wrong: $(cat "$WORK/v3.err")"
[ "$(jq -r --arg m "$(MAC 8)" '.[] | select(.mac == $m) | .result' "$WORK/v3")" = "no answer" ] || fail "late camera counted: $(cat "$WORK/v3")"
[ $rc -eq 5 ] || fail "batch exit $rc, want 5"

T verify --all --user admin --password-file "$WORK/pw" --json >"$WORK/v4" 2>/dev/null
[ "$(jq '[.[] | select(.result == "pass")] | length' "$WORK/v4")" = 9 ] || fail "--all: want 9 passes: $(cat "$WORK/v4")"

# ---- set, manual
T set "$(MAC 1)" --user admin --password-file "$WORK/pw" --ip 192.168.1.151 --mask 255.255.0.0 \
  --gateway 192.168.1.254 --name Renamed --port 8081 --json >"$WORK/s1" 2>"$WORK/s1.err"
[ $? -eq 0 ] || fail "manual set not confirmed: $(cat "$WORK/s1.err")"
out=$(T search --json 2>/dev/null)
[ "$(jq -r --arg m "$(MAC 1)" '.[] | select(.mac == $m) | "\(.ip)/\(.mask)/\(.gateway) \(.name):\(.httpPort)"' <<<"$out")" = \
  "192.168.1.151/255.255.0.0/192.168.1.254 Renamed:8081" ] || fail "camera does not report the new settings: $out"
$LAB exec --name "$NAME" --ns cam1 -- ip -4 addr show dev eth0 | grep -q "inet 192.168.1.151/16" ||
  fail "camera interface does not carry 192.168.1.151/16"

# ---- set, DHCP
T set "$(MAC 2)" --user admin --password-file "$WORK/pw" --mode dhcp --json >"$WORK/s2" 2>"$WORK/s2.err"
[ $? -eq 0 ] || fail "switch to dhcp not confirmed: $(cat "$WORK/s2.err")"
[ "$(jq -r '.[0].mode' "$WORK/s2")" = dhcp ] && [ "$(jq -r '.[0].ip' "$WORK/s2")" != 192.168.1.12 ] ||
  fail "dhcp confirmation without the leased address: $(cat "$WORK/s2")"
lease=$(jq -r '.[0].ip' "$WORK/s2")
$LAB exec --name "$NAME" --ns cam2 -- ip -4 addr show dev eth0 | grep -q "inet $lease/" ||
  fail "camera interface does not carry the leased $lease"

# ---- set, ignored: times out after 25 s
t0=$SECONDS
T set "$(MAC 11)" --user admin --password-file "$WORK/pw" --name Never >/dev/null 2>"$WORK/s3.err"
rc=$?
took=$((SECONDS - t0))
[ $rc -eq 3 ] || fail "ignored setting exit $rc, want 3: $(cat "$WORK/s3.err")"
# 3 s search + verification + 25 s, the first re-query answer after that decides.
[ $took -ge 28 ] && [ $took -le 40 ] || fail "ignored setting took $took s, want 28..40"

# ---- reboot
out=$(T reboot "$(MAC 3)" --user admin --password-file "$WORK/pw" --json 2>"$WORK/r.err") ||
  fail "reboot failed: $(cat "$WORK/r.err")"
[ "$(field "$out" "$(MAC 3)" result)" = sent ] || fail "reboot --json: want result sent: $out"
out=$(T search --wait 1 --json 2>/dev/null)
[ -z "$(field "$out" "$(MAC 3)" mac)" ] || fail "rebooting camera still answers"
sleep 4
out=$(T search --json 2>/dev/null)
[ "$(field "$out" "$(MAC 3)" mac)" = "$(MAC 3)" ] || fail "camera did not come back after reboot"

# ---- defaults
T set "$(MAC 12)" --user admin --password-file "$WORK/pw" --name Custom --ip 192.168.1.122 >/dev/null 2>&1 ||
  fail "could not prepare the default camera"
T default "$(MAC 12)" --keep-ip --user admin --password-file "$WORK/pw" 2>/dev/null || fail "default --keep-ip failed"
sleep 4.5
out=$(T search --json 2>/dev/null)
[ "$(field "$out" "$(MAC 12)" name)" = "Factory-12" ] && [ "$(field "$out" "$(MAC 12)" ip)" = 192.168.1.122 ] ||
  fail "software default: want Factory-12 at 192.168.1.122: $out"
T default "$(MAC 12)" --user admin --password-file "$WORK/pw" 2>/dev/null || fail "default failed"
sleep 4.5
out=$(T search --json 2>/dev/null)
[ "$(field "$out" "$(MAC 12)" ip)" = 192.168.1.222 ] || fail "hardware default: want 192.168.1.222: $out"
$LAB exec --name "$NAME" --ns cam12 -- ip -4 addr show dev eth0 | grep -q "inet 192.168.1.222/24" ||
  fail "camera interface does not carry the factory 192.168.1.222/24"

[ "$failures" -eq 0 ] || { echo "engine_commands: $failures failure(s)" >&2; exit 1; }
echo "engine_commands: verify, batch 7/2, set manual+dhcp, 25 s time-out in ${took} s, reboot, defaults"
