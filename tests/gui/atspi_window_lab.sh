#!/usr/bin/env bash
# The window as a screen reader sees it: on a virtual display inside a lab with two
# simulated cameras, an AT-SPI client (tests/support/atspi_window.py) finds no interactive
# control without a name once the cameras are listed, and hears "Searching camera, please
# wait..." as an alert when Refresh is pressed through the bus.
source "$(cd "$(dirname "$0")/../support" && pwd)/lab_preamble.sh"
GUI=$BIN/src/tarsel-gui
[ -x "$GUI" ] || { echo "FAIL: $GUI is not built" >&2; exit 1; }
# The system's Python: the AT-SPI bindings are a Debian package, not a pip one.
PY=/usr/bin/python3
for tool in xvfb-run xauth dbus-run-session $PY; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
$PY -c 'import pyatspi' 2>/dev/null || { echo "FAIL: python3-pyatspi is missing (scripts/install-deps)" >&2; exit 1; }

echo '{"host": {"adapters": [{"name": "eth0", "lan": "a", "address": "192.168.1.5/24"}]},
 "cameras": [{"lan": "a", "name": "Gate", "mac": "00:1B:2C:41:00:01", "ip": "192.168.1.11"},
             {"lan": "a", "name": "Yard", "mac": "00:1B:2C:41:00:02", "ip": "192.168.1.12"}]}' >"$WORK/lab.json"
NAME=$($LAB up --config "$WORK/lab.json" --owner $$) || { echo "FAIL: no lab" >&2; exit 1; }

# A copy of the window beside which its settings file is its own; a private runtime folder
# for the session and accessibility buses. The caller's display is not passed on: the
# buses' services would open it instead of the virtual one.
cp "$GUI" "$WORK/tarsel-gui"
mkdir -m 700 "$WORK/run"
$LAB run --name "$NAME" -- env -u DISPLAY -u WAYLAND_DISPLAY HOME="$WORK" XDG_RUNTIME_DIR="$WORK/run" NO_AT_BRIDGE=0 \
  dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" $PY "$SRC/tests/support/atspi_window.py" --gui "$WORK/tarsel-gui" \
  --camera "Gate,00:1B:2C:41:00:01" --camera "Yard,00:1B:2C:41:00:02" || fail "the window as read through AT-SPI"

[ "$failures" -eq 0 ] && echo "atspi_window_lab: ok"
exit $(( failures > 0 ))
