#!/usr/bin/env bash
# The package's maintainer scripts against stand-ins for deb-systemd-helper,
# deb-systemd-invoke, systemctl and udevadm that record their calls: a first
# installation enables both units, an upgrade keeps a disabled unit disabled, removal
# masks, a purge forgets the units and removes the runtime files (of a temporary root),
# and nothing fails where systemd is not running.
#   check-maintainer-scripts.sh GENERATED_DEBIAN_DIR INSTALL_ROOT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
scripts=$1 root=${2%/}
work=$(mktemp -d /tmp/ovra-maint-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
calls="$work/calls"
for tool in deb-systemd-helper deb-systemd-invoke systemctl udevadm; do
  cat >"$work/bin/$tool" <<STUB
#!/bin/sh
echo "$tool \$*" >>"$calls"
# "was-enabled" answers from the file the test prepares.
if [ "$tool" = deb-systemd-helper ]; then
  for a in "\$@"; do last=\$a; done
  case " \$* " in *" was-enabled "*) grep -qx "\$last" "$work/enabled" 2>/dev/null; exit \$? ;; esac
fi
exit 0
STUB
  chmod +x "$work/bin/$tool"
done
run() {   # SCRIPT ARGS... (with the stand-ins first on PATH)
  : >"$calls"
  PATH="$work/bin:$PATH" sh "$@" || fail "$(basename "$1") ${*:2} exited with $?"
}
units=(ovra-k246-printservice.service ovra-k246-scandaemon.service)

for script in postinst prerm postrm; do
  [[ -x $scripts/$script ]] || fail "$script is not executable"
  if command -v shellcheck >/dev/null; then
    shellcheck -s sh "$scripts/$script" || fail "shellcheck $script"
  fi
done

# First installation: was-enabled answers yes for a unit never seen (as the real helper).
printf '%s\n' "${units[@]}" >"$work/enabled"
run "$scripts/postinst" configure
for unit in "${units[@]}"; do
  grep -qx "deb-systemd-helper enable $unit" "$calls" || fail "postinst configure does not enable $unit"
  grep -qx "deb-systemd-helper unmask $unit" "$calls" || fail "postinst configure does not unmask $unit"
done
if [[ ! -d /run/systemd/system ]]; then
  ! grep -q "deb-systemd-invoke\|systemctl" "$calls" || fail "postinst starts units where systemd does not run"
fi

# Upgrade where the administrator disabled the scan daemon.
echo "${units[0]}" >"$work/enabled"
run "$scripts/postinst" configure 0.9.0
grep -qx "deb-systemd-helper enable ${units[0]}" "$calls" || fail "upgrade does not keep ${units[0]} enabled"
! grep -qx "deb-systemd-helper enable ${units[1]}" "$calls" || fail "upgrade enables the disabled ${units[1]}"
grep -qx "deb-systemd-helper update-state ${units[1]}" "$calls" || fail "upgrade does not update ${units[1]}'s state"

run "$scripts/prerm" remove
run "$scripts/postrm" remove
for unit in "${units[@]}"; do
  grep -qx "deb-systemd-helper mask $unit" "$calls" || fail "postrm remove does not mask $unit"
done

# Purge, with the install root of the script moved into the test's folder.
fake="$work/opt/ovra/ovra-printer-k246"
mkdir -p "$fake"/{bin,cfg,log,temp,tool,scan}
touch "$fake/cfg/printerlist.ini" "$fake/cfg/office.dat" "$fake/log/log_srv_1_0.log" "$fake/scan/ovra_scan_info.log"
grep -q "^root=\"$root\"$" "$scripts/postrm" || fail "postrm does not purge $root"
sed "s|^root=\"$root\"$|root=\"$fake\"|" "$scripts/postrm" >"$work/postrm"
run "$work/postrm" purge
for unit in "${units[@]}"; do
  grep -qx "deb-systemd-helper purge $unit" "$calls" || fail "postrm purge does not purge $unit"
done
[[ ! -e $fake ]] || fail "purge leaves $(cd "$work" && find opt | tr '\n' ' ')"
finish
