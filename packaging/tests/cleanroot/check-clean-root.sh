#!/usr/bin/env bash
# The Debian package on a fresh Debian 12: in a minimal root made by debootstrap, the
# dependencies the package declares come from the archive with apt, then the package;
# its files with their modes, enabled units, udev rule and menu entries are in place; its
# print service and scan daemon work there against emulated devices; its purge leaves
# the root as it was before the package came.
# The root lives in a temporary folder of the build folder; the bootstrapped root is
# kept as a tarball in BUILD_DIR/cleanroot-cache/ for the next run.
# With --boot, the root gets systemd and is booted with systemd-nspawn instead: the
# package installed there starts its units, which run the service and the daemon against
# the emulators, and are stopped, restarted after a crash and purged (booted.sh).
# Exits 77 (skipped) when not run as root, when the Debian archive cannot be reached, or
# (--boot) when no container can be booted here.
#   check-clean-root.sh BUILD_DIR INSTALL_ROOT PRINTER_EMU SCANNER_EMU SCAN_CLIENT STATUS_TOOL PPD [--boot]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common.sh"
. "$here/root.sh"
. "$here/installed.sh"
. "$here/programs.sh"
. "$here/booted.sh"
build=$(realpath "$1") install_root=${2%/} printer_emu=$3 scanner_emu=$4 scan_client=$5 status_tool=$6 ppd=$7
boot=${8:-}

skip() { echo "SKIPPED: $*"; exit 77; }
die() { echo "FAIL: $*" >&2; exit 1; }
started=$SECONDS
stage() { echo "== $* (at $((SECONDS - started)) s)"; }

[[ $(id -u) -eq 0 ]] || skip "a clean root needs root (debootstrap, chroot, mounts)"
mirror=$(debian_mirror)
mirror_reachable "$mirror" || skip "the Debian archive $mirror cannot be reached: no root can be bootstrapped"
if [[ $boot == --boot ]]; then
  reason=$(cannot_boot_reason)
  [[ -z $reason ]] || skip "no container can be booted here: $reason"
fi

# A run that was killed (a time-out) left its root behind: the folder names its owner.
for old in "$build"/cleanroot.*/; do
  [[ -f $old/owner ]] || continue
  ! kill -0 "$(cat "$old/owner")" 2>/dev/null || continue
  echo "removing the root a killed run left: $old"
  remove_root "$(realpath "$old")/root" "$(realpath "$old")" || true
done
work=$(mktemp -d "$build/cleanroot.XXXXXX")
echo $$ >"$work/owner"
root="$work/root"
mkdir -m 0755 "$root"
cleanup() {
  trap - EXIT INT TERM
  shutdown_root
  stop_helpers
  remove_root "$root" "$work" || echo "FAIL: the root could not be removed" >&2
}
trap cleanup EXIT
trap 'exit 130' INT TERM

stage "building the package"
deb=$(build_package "$work/package" "$build") || exit 1

stage "bootstrapping Debian $CLEAN_ROOT_SUITE from $mirror"
cache="$build/cleanroot-cache/$CLEAN_ROOT_SUITE-minbase-$(md5sum <<<"$mirror" | cut -c1-8).tar.gz"
bootstrap_root "$root" "$mirror" "$cache" "$work/debootstrap.log" || die "debootstrap failed"
mount_root "$root" || die "cannot mount /proc and /dev in the root"
# Packages installed here start no daemons, as in any chroot.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 0755 "$root/usr/sbin/policy-rc.d"
in_root "$root" apt-get update -q >"$work/apt-update.log" 2>&1 || { cat "$work/apt-update.log"; die "apt-get update failed"; }

if [[ $boot == --boot ]]; then
  stage "installing systemd and the package's dependencies"
  in_root "$root" apt-get satisfy -y -q --no-install-recommends "systemd-sysv, $(dpkg-deb -f "$deb" Depends)" \
    >"$work/depends.log" 2>&1 || { cat "$work/depends.log"; die "systemd and the dependencies cannot be installed"; }
  # The machine's /proc and /dev are the container's business now.
  unmount_below "$root"
  stage "booting the root with systemd-nspawn"
  check_booted "$root" "$deb" "$install_root" "$printer_emu" "$scanner_emu" "$scan_client" "$ppd" "$work"
  stop_helpers
  stage "done"
  finish
  exit 0
fi

# First what the package declares it depends on, from the archive and nothing more: the
# programs must then work. The root as it is then is what the purge must leave.
stage "installing the package's dependencies from the archive, without recommended packages"
in_root "$root" apt-get satisfy -y -q --no-install-recommends "$(dpkg-deb -f "$deb" Depends)" >"$work/depends.log" 2>&1 ||
  { cat "$work/depends.log"; die "the dependencies cannot be installed from the archive"; }
echo "$(grep -c '^Setting up ' "$work/depends.log") packages set up"
listing_before=$(root_listing "$root")
unowned=$(unowned_empty_folders "$root" "$deb")

stage "installing $(basename "$deb") with apt"
install -m 0644 "$deb" "$root/tmp/"
in_root "$root" apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; die "apt-get install failed"; }
check_installed "$root" "$deb" "$install_root"

stage "the print service against an emulated network printer"
check_print_service "$root" "$install_root" "$printer_emu" "$ppd" "$status_tool" "$work"
stage "the scan daemon and a two-page scan from an emulated network scanner"
check_scan_daemon "$root" "$install_root" "$scanner_emu" "$scan_client" "$work"
stop_helpers

stage "purging the package"
in_root "$root" apt-get purge -y -q "$PACKAGE" >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; die "apt-get purge failed"; }
[[ -z $(root_pids "$root") ]] || fail "processes still run in the root after the purge: $(root_pids "$root" | tr '\n' ' ')"
check_purged "$root" "$listing_before" "$unowned"

stage "done"
finish
