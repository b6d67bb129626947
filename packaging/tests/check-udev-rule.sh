#!/usr/bin/env bash
# The udev rule: every line parses as udev rule syntax (KEY{attr}OP"value" pairs joined
# by commas), it tags the maker's USB devices (the vendor ID of the model table) for
# the logged-in user, and it sorts before 73-seat-late.rules, which applies the tag.
# systemd 252 has no `udevadm verify`; where a newer udevadm has it, it runs too.
#   check-udev-rule.sh RULE_FILE MODEL_TABLE_SOURCE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
rule=$1 models=$2

name=$(basename "$rule")
[[ $name =~ ^([0-9]+)-.*\.rules$ ]] || fail "$name is not named NN-name.rules"
[[ ${BASH_REMATCH[1]:-99} -lt 73 ]] || fail "$name sorts after 73-seat-late.rules: uaccess would not apply"

pair='(ACTION|SUBSYSTEM|SUBSYSTEMS|KERNEL|DRIVER|DRIVERS|ENV\{[A-Za-z_]+\}|ATTR\{[A-Za-z_]+\}|ATTRS\{[A-Za-z_]+\}|TAG|GROUP|MODE)(==|!=|\+=|=)"[^"]*"'
rules=0
while IFS= read -r line; do
  [[ -z ${line// /} || $line =~ ^[[:space:]]*# ]] && continue
  rules=$((rules + 1))
  rest=$line
  while [[ $rest =~ ^[[:space:]]*${pair}[[:space:]]*(,|$) ]]; do
    rest=${rest:${#BASH_REMATCH[0]}}
  done
  [[ -z ${rest// /} ]] || fail "cannot parse rule line at: $rest"
done <"$rule"
[[ $rules -eq 1 ]] || fail "$rules rule lines, expected 1"

vendor=$(sed -n 's/.*c_iOvraVendorId = 0x\([0-9A-Fa-f]\{4\}\);.*/\1/p' "$models" | tr 'A-F' 'a-f')
[[ -n $vendor ]] || fail "no vendor ID found in $models"
line=$(grep -v '^[[:space:]]*#' "$rule" | grep .)
for want in 'SUBSYSTEM=="usb"' 'ENV{DEVTYPE}=="usb_device"' "ATTR{idVendor}==\"$vendor\"" 'TAG+="uaccess"'; do
  grep -qF "$want" <<<"$line" || fail "the rule lacks $want"
done
grep -q 'ACTION=="[^"]*add' <<<"$line" || fail "the rule does not apply when a printer is plugged in"
! grep -qE 'MODE=|GROUP=' <<<"$line" || fail "the rule opens the device to more than the desktop user"

if udevadm verify --help >/dev/null 2>&1; then
  udevadm verify "$rule" || fail "udevadm verify"
fi
finish
