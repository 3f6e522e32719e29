#!/usr/bin/env bash
# Automatic IP assignment on a /24: 6 DHCP cameras (one already holding an address of the
# range, which it keeps since it answers ARP there), 2 manual ones, 1 DHCP camera behind
# the other adapter and 1 with another password. Every DHCP camera ends with a fixed
# address in the range ("Assign IP"), the manual ones "Ignore", the other-adapter one
# "Different Network Cards", the other password "Verify Fail". A second run on fresh
# cameras (new lab, same settings file) gives every camera the same address again. A range
# of 5 addresses holding this PC's own for the 6 DHCP cameras (a settings file that cannot
# be written, so empty) leaves 2 "NO IP" and exits 6: the addresses given could not be
# remembered.
# Fails (never skips) when the lab cannot be built.
. "$(dirname "$0")/../support/lab_preamble.sh"

cat >"$WORK/lab.json" <<'JSON'
{
  "host": {"adapters": [
    {"name": "eth0", "lan": "a", "address": "192.168.1.5/24", "alias": "Camera LAN"},
    {"name": "eth1", "lan": "b", "address": "10.0.0.7/24"}]},
  "cameras": [
    {"lan": "a", "name": "D1", "mac": "00:1b:2c:40:00:01", "ip": "192.168.1.31", "mode": "dhcp"},
    {"lan": "a", "name": "D2", "mac": "00:1b:2c:40:00:02", "ip": "192.168.1.32", "mode": "dhcp"},
    {"lan": "a", "name": "D3", "mac": "00:1b:2c:40:00:03", "ip": "192.168.1.33", "mode": "dhcp"},
    {"lan": "a", "name": "D4", "mac": "00:1b:2c:40:00:04", "ip": "192.168.1.34", "mode": "dhcp"},
    {"lan": "a", "name": "D5", "mac": "00:1b:2c:40:00:05", "ip": "192.168.1.35", "mode": "dhcp"},
    {"lan": "a", "name": "Keep", "mac": "00:1b:2c:40:00:06", "ip": "192.168.1.105", "mode": "dhcp"},
    {"lan": "a", "name": "M1", "mac": "00:1b:2c:40:00:07", "ip": "192.168.1.41"},
    {"lan": "a", "name": "M2", "mac": "00:1b:2c:40:00:08", "ip": "192.168.1.42"},
    {"lan": "a", "name": "Pw", "mac": "00:1b:2c:40:00:09", "ip": "192.168.1.43", "mode": "dhcp",
     "password": "other"},
    {"lan": "b", "name": "B1", "mac": "00:1b:2c:40:00:0a", "ip": "10.0.0.51", "mode": "dhcp"}]
}
JSON
echo admin >"$WORK/pw"
INI="$WORK/tarsel.ini"

# run RANGE OUT: builds a fresh lab, runs auto-ip, writes the JSON result, downs the lab.
run() {
  NAME=$($LAB up --config "$WORK/lab.json" --owner $$) || { fail "the lab could not be built"; NAME=""; return 1; }
  $LAB run --name "$NAME" -- "$TARSEL" --config "$INI" auto-ip --adapter eth0 --range "$1" \
    --user admin --password-file "$WORK/pw" --json --timeout 200 >"$2" 2>"$2.err"
  echo $? >"$2.rc"
  $LAB down --name "$NAME" >/dev/null 2>&1
  NAME=""
}
status() { jq -r --arg n "$2" '.[] | select(.name == $n or .mac == $n) | .status' "$1"; }
newip() { jq -r --arg n "$2" '.[] | select(.name == $n) | .newIp' "$1"; }

run 192.168.1.100-192.168.1.120 "$WORK/first"
R=$WORK/first
for n in D1 D2 D3 D4 D5 Keep; do
  [ "$(status "$R" "$n")" = "Assign IP" ] || fail "$n: status '$(status "$R" "$n")', want Assign IP"
  ip=$(newip "$R" "$n")
  last=${ip##*.}
  [ "${ip%.*}" = 192.168.1 ] && [ "$last" -ge 100 ] && [ "$last" -le 120 ] || fail "$n got '$ip'"
  [ "$(jq -r --arg n "$n" '.[] | select(.name == $n) | .mode' "$R")" = manual ] || fail "$n not manual now"
done
[ "$(newip "$R" Keep)" = 192.168.1.105 ] || fail "Keep did not keep 192.168.1.105: $(newip "$R" Keep)"
[ "$(jq -r '[.[] | select(.status == "Assign IP") | .newIp] | unique | length' "$R")" = 6 ] || fail "addresses not unique"
for n in M1 M2; do [ "$(status "$R" "$n")" = Ignore ] || fail "$n: '$(status "$R" "$n")', want Ignore"; done
[ "$(status "$R" Pw)" = "Verify Fail" ] || fail "Pw: '$(status "$R" Pw)', want Verify Fail"
[ "$(status "$R" B1)" = "Different Network Cards" ] || fail "B1: '$(status "$R" B1)'"
[ "$(cat "$R.rc")" = 5 ] || fail "first run exit $(cat "$R.rc") (Verify Fail makes 5)"
grep -qi "^00:1b:2c:40:00:01=" "$INI" || fail "history not written: $(cat "$INI" 2>/dev/null)"

run 192.168.1.100-192.168.1.120 "$WORK/second"
for n in D1 D2 D3 D4 D5 Keep; do
  [ "$(newip "$WORK/second" "$n")" = "$(newip "$R" "$n")" ] ||
    fail "$n: second run gave $(newip "$WORK/second" "$n"), first $(newip "$R" "$n")"
done

# A settings file that cannot be written (its folder is a file: even root cannot write
# there) reads as empty, and the addresses given cannot be remembered: exit 6, not 5.
touch "$WORK/not-a-folder"
INI="$WORK/not-a-folder/tarsel.ini"
# The range holds this PC's own address (.5): it is never handed out, so five addresses
# give four cameras one.
run 192.168.1.3-192.168.1.7 "$WORK/r3"
counts=$(jq -r '[([.[] | select(.status == "Assign IP")] | length), ([.[] | select(.status == "NO IP")] | length)] | join(" ")' "$WORK/r3")
[ "$counts" = "4 2" ] || fail "range of 5 with the PC's own: assigned / NO IP $counts: $(cat "$WORK/r3" "$WORK/r3.err")"
[ "$(jq -r '[.[] | select(.newIp == "192.168.1.5")] | length' "$WORK/r3")" = 0 ] || fail "the PC's own address was handed out"
[ "$(cat "$WORK/r3.rc")" = 6 ] || fail "range of 5, history unwritable: exit $(cat "$WORK/r3.rc"), want 6"
grep -q "could not be saved" "$WORK/r3.err" || fail "no word of the unsaved history: $(cat "$WORK/r3.err")"
[ "$failures" -eq 0 ] || { cat "$R" "$R.err" >&2; exit 1; }
echo "auto_ip: 6 assigned (one kept), 2 ignored, 1 other adapter, 1 verify fail; same addresses on the second run; range of 5 holding the PC's address: 4 assigned, 2 NO IP, exit 6 with the history unwritable"
