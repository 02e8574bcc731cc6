#!/usr/bin/env bash
# Checks the package's udev rule: with `udevadm verify` where udevadm has it,
# otherwise its syntax here (every line a comma-separated list of
# KEY[{attribute}] OPERATOR "value", every GOTO with its LABEL); and that the
# USB serial bridges are marked for ModemManager to leave alone while no
# ttyACM port is.
#
#   check_udev_rule.sh RULES
set -euo pipefail
rules=${1:-packaging/70-txconfig-serial.rules}
failures=0
fail() { echo "check_udev_rule: $*" >&2; failures=$((failures + 1)); }

if udevadm verify --help >/dev/null 2>&1; then
  udevadm verify --resolve-names=never "$rules" >&2 || fail "udevadm verify failed"
else
  key='[A-Z_]+(\{[A-Za-z0-9_]+\})?(==|!=|\+=|-=|:=|=)"[^"]*"'
  bad=$(grep -nvE '^[[:space:]]*(#|$)' "$rules" | grep -vE "^[0-9]+:$key(, $key)*$" || true)
  [ -z "$bad" ] || fail "not KEY==\"value\", ... in line $bad"
  for label in $(grep -oE 'GOTO="[^"]+"' "$rules" | cut -d'"' -f2 | sort -u); do
    grep -q "LABEL=\"$label\"" "$rules" || fail "GOTO=\"$label\" has no LABEL"
  done
fi

for id in 1a86:7523 10c4:ea60 0403:6001 0403:6010 0403:6011 0403:6014 0403:6015 067b:2303 067b:23a3; do
  grep -qE "ATTRS\{idVendor\}==\"${id%:*}\", ATTRS\{idProduct\}==\"${id#*:}\", ENV\{ID_MM_DEVICE_IGNORE\}=\"1\"" \
    "$rules" || fail "$id is not marked ID_MM_DEVICE_IGNORE"
done
! grep -v '^#' "$rules" | grep 'ID_MM_DEVICE_IGNORE' | grep -q 'ttyACM' || fail "a ttyACM port is marked"
grep -q '^KERNEL!="ttyUSB\[0-9\]\*", GOTO=' "$rules" || fail "the marks are not kept to ttyUSB ports"

[ "$failures" -eq 0 ] || exit 1
echo "udev rule checks passed: $rules"
