#!/usr/bin/env bash
# The Debian packages, made from an existing build by scripts/package (which fails on a
# lintian error), installed the way the README says, used by an ordinary user, removed.
# The user runs the installed tarsel inside a lab whose camera is the installed simulator:
# --version, a search that must list that camera, and bash completion of commands and
# options. Root then runs an automatic address assignment, whose settings must go to its
# own configuration folder, never beside the program. After the purge no file of either
# package may be left. Needs root.
#   tests/package/install_test.sh [BUILD_DIR]     (default build/)
set -uo pipefail

# A machine's own installation is never replaced or removed by a test.
for package in tarsel tarsel-camsim; do
  ! dpkg -s "$package" >/dev/null 2>&1 || { echo "FAIL: $package is installed here already" >&2; exit 1; }
done

BUILD=${1:-$(cd "$(dirname "$0")/../.." && pwd)/build}
TARSEL_BINARY_DIR=$BUILD
. "$(dirname "$0")/../support/lab_preamble.sh"
ACCOUNT=tarselcheck$$
before_cleanup() {
  [ -z "$NAME" ] || $LAB down --name "$NAME" >/dev/null 2>&1
  NAME=""
  dpkg -s tarsel >/dev/null 2>&1 && apt-get purge -y -q tarsel >/dev/null 2>&1
  dpkg -s tarsel-camsim >/dev/null 2>&1 && apt-get purge -y -q tarsel-camsim >/dev/null 2>&1
  userdel "$ACCOUNT" >/dev/null 2>&1
}

mapfile -t debs < <(bash "$SRC/scripts/package" --build-dir "$BUILD") || true
[ "${#debs[@]}" -eq 2 ] || { echo "FAIL: scripts/package did not make the two packages" >&2; exit 1; }
if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${debs[@]}" \
    >"$WORK/apt.log" 2>&1; then
  cat "$WORK/apt.log" >&2
  echo "FAIL: the packages do not install" >&2
  exit 1
fi
dpkg -L tarsel tarsel-camsim >"$WORK/files"

chmod 755 "$WORK"
mkdir "$WORK/home"
useradd -M -d "$WORK/home" -s /usr/sbin/nologin "$ACCOUNT" || { echo "FAIL: useradd" >&2; exit 1; }
chown "$ACCOUNT:" "$WORK/home"
cat >"$WORK/lab.json" <<'JSON'
{"host": {"adapters": [{"name": "eth0", "lan": "a", "address": "192.168.7.5/24"}]},
 "cameras": [{"lan": "a", "name": "Pkg-01", "mac": "00:1B:2C:70:00:01", "ip": "192.168.7.101",
              "mode": "dhcp"}]}
JSON
NAME=$($LAB up --config "$WORK/lab.json" --camsim /usr/bin/tarsel-camsim --owner $$) ||
  { echo "FAIL: the lab could not be built" >&2; NAME=""; exit 1; }
# as_user CMD...: CMD in the lab's host namespace, as the ordinary user, with its login's
# environment only.
as_user() {
  $LAB run --name "$NAME" -- setpriv --reuid="$ACCOUNT" --regid="$ACCOUNT" --init-groups \
    --reset-env "$@"
}

[ "$(as_user id -un)" = "$ACCOUNT" ] || fail "the commands do not run as $ACCOUNT"
version=$(as_user tarsel --version 2>&1)
[[ $version =~ ^tarsel\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "tarsel --version printed '$version'"
as_user tarsel search --wait 2 --json >"$WORK/search.json" 2>"$WORK/search.err" ||
  fail "search as $ACCOUNT exited $?: $(cat "$WORK/search.err")"
jq -e 'length == 1 and .[0].mac == "00:1B:2C:70:00:01" and .[0].name == "Pkg-01"' \
  "$WORK/search.json" >/dev/null || fail "search did not list the lab's camera: $(cat "$WORK/search.json")"
complete_words() {
  as_user bash -c '. /usr/share/bash-completion/completions/tarsel
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _tarsel; echo "${COMPREPLY[*]}"' complete "$@"
}
[ "$(complete_words tarsel se)" = "search set" ] || fail "completion of 'tarsel se': $(complete_words tarsel se)"
[[ " $(complete_words tarsel search --) " == *" --json "* ]] || fail "completion lacks search's --json"

# Settings written by an installed program, even one run by root (who could write into
# /usr/bin), go to the caller's configuration folder, never beside the program.
mkdir "$WORK/root"
$LAB run --name "$NAME" -- env HOME="$WORK/root" TARSEL_PASSWORD=admin tarsel auto-ip \
  --adapter eth0 --range 192.168.7.150-192.168.7.150 --user admin --json >"$WORK/autoip.json" 2>&1 ||
  fail "auto-ip exited $?: $(cat "$WORK/autoip.json")"
[ ! -e /usr/bin/tarsel.ini ] || { fail "auto-ip wrote its settings beside the program"; rm -f /usr/bin/tarsel.ini; }
grep -qi '00:1B:2C:70:00:01' "$WORK/root/.config/tarsel/tarsel.ini" 2>/dev/null ||
  fail "auto-ip did not remember the address in ~/.config/tarsel/tarsel.ini"

# The manual pages: how to give a password, where the settings live, and usage lines that
# stay usage lines.
man_text() { zcat "/usr/share/man/man1/$1.1.gz"; }
for section in FILES ENVIRONMENT; do
  man_text tarsel | grep -q "^\.SH $section" || fail "man tarsel has no $section section"
done
man_text tarsel | grep -q 'TARSEL_PASSWORD' || fail "man tarsel does not name TARSEL_PASSWORD"
for program in tarsel-gui tarsel-camsim; do
  synopsis=$(man_text "$program" | sed -n '/^\.SH SYNOPSIS/,/^\.SH DESCRIPTION/p')
  [ -n "$synopsis" ] || fail "man $program has no SYNOPSIS"
  ! grep -qiE 'opens the window|simulates the cameras' <<<"$synopsis" ||
    fail "man $program: the description runs into the synopsis"
done

apt-get purge -y -q tarsel tarsel-camsim >"$WORK/apt.log" 2>&1 || fail "purge failed: $(cat "$WORK/apt.log")"
dpkg -L tarsel >/dev/null 2>&1 && fail "dpkg still lists tarsel's files"
dpkg -L tarsel-camsim >/dev/null 2>&1 && fail "dpkg still lists tarsel-camsim's files"
while read -r path; do
  [ -d "$path" ] || [ ! -e "$path" ] || fail "$path is left after the purge"
done <"$WORK/files"
for folder in /usr/share/doc/tarsel /usr/share/doc/tarsel-camsim; do
  [ ! -e "$folder" ] || fail "$folder is left after the purge"
done

[ "$failures" -eq 0 ] || { echo "install_test: $failures failure(s)" >&2; exit 1; }
echo "install_test: ${debs[*]##*/} installed, used by $ACCOUNT in a lab, purged without leftovers"
