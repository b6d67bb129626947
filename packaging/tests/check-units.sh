#!/usr/bin/env bash
# The installed systemd units pass `systemd-analyze verify` (their ExecStart pointed at
# the programs of a temporary install), each says what systemd must know about its
# program, and each is hardened to systemd's exposure rating "OK".
#   check-units.sh BUILD_DIR INSTALL_ROOT UNIT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
build=$1 root=${2%/} unitdir=$3
dest=$(mktemp -d /tmp/ovra-units-test.XXXXXX)
trap 'rm -rf "$dest"' EXIT
install_into "$dest" "$build"
mkdir "$dest/units"
for unit in ovra-k246-printservice.service ovra-k246-scandaemon.service; do
  [[ -f $dest$unitdir/$unit ]] || { fail "$unit is not installed"; continue; }
  sed "s|$root/|$dest$root/|g" "$dest$unitdir/$unit" >"$dest/units/$unit"
  if ! out=$(cd "$dest/units" && SYSTEMD_LOG_LEVEL=notice systemd-analyze verify --man=no "./$unit" 2>&1); then
    fail "systemd-analyze verify $unit: $out"
  elif grep -q "$unit" <<<"$out"; then
    fail "systemd-analyze verify complains about $unit: $out"
  fi
done

value() {   # UNIT KEY -> the key's value in the installed unit
  sed -n "s/^$2=//p" "$dest$unitdir/$1"
}
p=ovra-k246-printservice.service s=ovra-k246-scandaemon.service
[[ $(value $p Type) == simple ]] || fail "$p: Type=$(value $p Type)"
[[ $(value $p ExecStart) == "$root/bin/OvraPrintService" ]] || fail "$p: ExecStart=$(value $p ExecStart)"
[[ $(value $p WantedBy) == multi-user.target ]] || fail "$p is not wanted by multi-user.target"
[[ $(value $s Type) == notify ]] || fail "$s: Type=$(value $s Type)"
[[ $(value $s NotifyAccess) == main ]] || fail "$s: NotifyAccess=$(value $s NotifyAccess)"
[[ $(value $s ExecStart) == "$root/bin/OvraScanDaemon" ]] || fail "$s: ExecStart=$(value $s ExecStart)"
[[ $(value $s KillSignal) == SIGQUIT ]] || fail "$s: KillSignal=$(value $s KillSignal)"
[[ $(value $s KillMode) == control-group ]] || fail "$s: KillMode=$(value $s KillMode)"
[[ -z $(value $s PIDFile)$(value $s GuessMainPID) ]] || fail "$s names a pid file or guesses one: the listener is the main process"
[[ $(value $s WantedBy) == multi-user.target ]] || fail "$s is not wanted by multi-user.target"
[[ $(value $p Environment) == "OVRA_INSTALL_ROOT=$root/" ]] || fail "$p: Environment=$(value $p Environment)"
# The daemon stays in the foreground: its listener is the process systemd watches.
[[ $(value $s Environment) == "OVRA_INSTALL_ROOT=$root/ OVRA_SCAN_DAEMON_FOREGROUND=1" ]] ||
  fail "$s: Environment=$(value $s Environment)"

# Hardening: each unit keeps what its program needs and scores at most 5.0 ("OK" or
# better) in systemd's exposure rating; before, both scored 9.6 ("UNSAFE").
max_exposure=5.0
for unit in $p $s; do
  [[ $(value "$unit" Restart) == on-failure ]] || fail "$unit: Restart=$(value "$unit" Restart)"
  [[ $(value "$unit" DevicePolicy) == closed && $(value "$unit" DeviceAllow) == "char-usb_device rw" ]] ||
    fail "$unit does not allow usbfs alone: DevicePolicy=$(value "$unit" DevicePolicy) DeviceAllow=$(value "$unit" DeviceAllow)"
  [[ $(value "$unit" ProtectSystem) == strict ]] || fail "$unit: ProtectSystem=$(value "$unit" ProtectSystem)"
  [[ -z $(value "$unit" PrivateDevices) ]] || fail "$unit sets PrivateDevices, which hides usbfs"
  writable=$(value "$unit" ReadWritePaths | tr ' ' '\n' | grep -v -e "^$root/" -e '^-/run/cups$' || true)
  [[ -z $writable ]] || fail "$unit may write outside the install root: $writable"
  line=$(cd "$dest/units" && systemd-analyze security --offline=yes "./$unit" 2>&1 | tail -1)
  exposure=$(sed -n 's/.*: \([0-9.]*\) .*/\1/p' <<<"$line")
  if [[ -z $exposure ]]; then
    fail "no exposure rating for $unit: $line"
  elif awk -v e="$exposure" -v m="$max_exposure" 'BEGIN { exit !(e > m) }'; then
    fail "$unit is rated $exposure, more than $max_exposure: $line"
  else
    echo "$unit: exposure $exposure"
  fi
done
[[ $(value $s ReadWritePaths) == "$root/scan" ]] || fail "$s: ReadWritePaths=$(value $s ReadWritePaths)"
[[ $(value $s RestrictAddressFamilies) == "AF_INET AF_UNIX AF_NETLINK" ]] ||
  fail "$s: RestrictAddressFamilies=$(value $s RestrictAddressFamilies)"
finish
