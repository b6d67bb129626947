#!/usr/bin/env bash
# The installed systemd units pass `systemd-analyze verify` (their ExecStart pointed at
# the programs of a temporary install), and each says what systemd must know about its
# program.
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
[[ $(value $s Type) == forking ]] || fail "$s: Type=$(value $s Type)"
[[ $(value $s ExecStart) == "$root/bin/OvraScanDaemon" ]] || fail "$s: ExecStart=$(value $s ExecStart)"
[[ $(value $s KillSignal) == SIGQUIT ]] || fail "$s: KillSignal=$(value $s KillSignal)"
[[ $(value $s GuessMainPID) == no ]] || fail "$s: GuessMainPID=$(value $s GuessMainPID)"
[[ -z $(value $s PIDFile) ]] || fail "$s names a pid file the daemon never writes"
[[ $(value $s WantedBy) == multi-user.target ]] || fail "$s is not wanted by multi-user.target"
for unit in $p $s; do
  [[ $(value $unit Environment) == "OVRA_INSTALL_ROOT=$root/" ]] || fail "$unit: Environment=$(value $unit Environment)"
done
finish
