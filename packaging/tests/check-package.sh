#!/usr/bin/env bash
# The Debian package built by CPack: its file list with modes and owners, its control
# fields (name, dependencies from the programs' libraries and the tools they run) and its
# maintainer scripts.
#   check-package.sh BUILD_DIR INSTALL_ROOT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
build=$1 root=${2%/}
out=$(mktemp -d /tmp/ovra-package-test.XXXXXX)
trap 'rm -rf "$out"' EXIT
deb=$(build_package "$out" "$build") || exit 1
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") == "ovra-printer-k246_1.0.0_$arch.deb" ]] || fail "package file name $(basename "$deb")"

listing=$(package_entries "$deb")
expect() {   # PERMISSIONS PATH
  grep -qxF -- "$1 root/root $2" <<<"$listing" || fail "package lacks '$1 root/root $2' (has: $(grep -F -- " $2" <<<"$listing" | head -1))"
}
! grep -qx '[^ ]* [^ ]* /opt' <<<"$listing" || fail "the package lists /opt, which its purge would then remove"
expect drwxr-xr-x "$root"
expect drwxr-xr-x "$root/bin"
expect drwxr-xr-x "$root/cfg"
expect drwxr-xr-x "$root/log"
expect drwx------ "$root/temp"
expect drwxr-xr-x "$root/scan"
expect drwxrwxrwt "$root/tool"
for program in OvraPrintService OvraPrinterTool OvraPrintSetting ovraK246FW OvraScanDaemon ovra-status ovra-decode ovra-check; do
  expect -rwxr-xr-x "$root/bin/$program"
done
links=$(dpkg-deb -c "$deb" | awk '$7 == "->" { print $1, $2, $6, $8 }')
for tool in ovra-status ovra-decode ovra-check; do
  grep -qxF -- "lrwxrwxrwx root/root ./usr/bin/$tool $root/bin/$tool" <<<"$links" || fail "package lacks the link /usr/bin/$tool"
done
for page in man8/OvraPrintService.8 man8/OvraScanDaemon.8 man1/OvraPrinterTool.1 man1/OvraPrintSetting.1 \
            man1/ovraK246FW.1 man1/ovra-status.1 man1/ovra-decode.1 man1/ovra-check.1; do
  expect -rw-r--r-- "/usr/share/man/$page.gz"
done
expect -rw-r--r-- "$root/bin/ovra-k246-tool-autostart.desktop"
expect -rw-r--r-- /lib/systemd/system/ovra-k246-printservice.service
expect -rw-r--r-- /lib/systemd/system/ovra-k246-scandaemon.service
expect -rw-r--r-- /lib/udev/rules.d/70-ovra-k246.rules
expect -rw-r--r-- /usr/share/applications/ovra-k246-printertool.desktop
expect -rw-r--r-- /usr/share/applications/ovra-k246-printsetting.desktop
expect -rw-r--r-- /usr/share/applications/ovra-k246-fwupdate.desktop
expect -rw-r--r-- /usr/share/icons/hicolor/128x128/apps/ovra-printer-tool.png
expect -rw-r--r-- /usr/share/icons/hicolor/64x64/apps/ovra-print-setting.png
expect -rw-r--r-- /usr/share/icons/hicolor/128x128/apps/ovra-fw-update.png
expect -rw-r--r-- /etc/sane.d/ovra.conf
expect -rw-r--r-- /usr/share/doc/ovra-printer-k246/copyright
expect -rw-r--r-- /usr/share/doc/ovra-printer-k246/changelog.gz
expect -rw-r--r-- /usr/share/lintian/overrides/ovra-printer-k246
expect -rw-r--r-- /usr/share/metainfo/invalid.ovra.printer_k246.metainfo.xml
expect -rw-r--r-- /usr/share/man/man5/sane-ovra.5.gz
expect -rw-r--r-- /etc/sane.d/dll.d/ovra
grep -qE '^-rw-r--r-- root/root /usr/lib/([^/]+/)?sane/libsane-ovra\.so\.1\.0\.0$' <<<"$listing" || fail "package lacks the SANE backend"
# dpkg creates the folders a system lacks with the package's modes: those on the way to
# the files are open to everyone, whatever the umask the package was built under.
private=$(awk -v r="$root" '$1 ~ /^d/ && $1 != "drwxr-xr-x" && index($3 "/", r "/") != 1 { print $3 }' <<<"$listing")
[[ -z $private ]] || fail "folders outside the install root that are not drwxr-xr-x: $private"
# Files only where they belong; no build or staging paths leaked in.
stray=$(awk '$1 !~ /^d/ { print $3 }' <<<"$listing" |
  grep -v -e "^$root/bin/" -e '^/lib/systemd/system/ovra-k246-' -e '^/lib/udev/rules.d/70-ovra-k246.rules$' \
          -e '^/usr/share/applications/ovra-k246-' -e '^/usr/share/icons/hicolor/.*/apps/ovra-' \
          -e '^/etc/sane.d/ovra.conf$' -e '^/etc/sane.d/dll.d/ovra$' -e '^/usr/lib/\([^/]*/\)\?sane/libsane-ovra\.so\.1' \
          -e '^/usr/bin/ovra-\(status\|decode\|check\)$' -e '^/usr/share/man/man[158]/[A-Za-z0-9-]*\.[158]\(\.gz\)\?$' \
          -e '^/usr/share/doc/ovra-printer-k246/' -e '^/usr/share/lintian/overrides/ovra-printer-k246$' \
          -e '^/usr/share/metainfo/invalid\.ovra\.printer_k246\.metainfo\.xml$' || true)
[[ -z $stray ]] || fail "unexpected files: $stray"
owners=$(awk '$2 != "root/root"' <<<"$listing")
[[ -z $owners ]] || fail "entries not owned by root: $owners"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == ovra-printer-k246 ]] || fail "Package: $(field Package)"
[[ $(field Architecture) == "$arch" ]] || fail "Architecture: $(field Architecture)"
[[ $(field Version) == 1.0.0 ]] || fail "Version: $(field Version)"
depends=$(field Depends)
# One package name a line, versions and alternatives taken apart.
depnames=$(sed 's/ *([^)]*)//g; s/ *| */\n/g; s/, */\n/g' <<<"$depends")
for dep in libqt5core5a libqt5gui5 libqt5widgets5 'libusb-1.0-0' libc6 'libstdc++6' cups-client procps init-system-helpers; do
  grep -qxF -- "$dep" <<<"$depnames" || fail "Depends lacks $dep: $depends"
done

control="$out/control"
dpkg-deb -e "$deb" "$control"
for script in postinst prerm postrm; do
  if [[ ! -f $control/$script ]]; then fail "no $script"; continue; fi
  [[ $(mode_of "$control/$script") == 755 ]] || fail "$script has mode $(mode_of "$control/$script")"
  sh -n "$control/$script" || fail "$script is not valid sh"
  grep -q "ovra-k246-scandaemon.service" "$control/$script" || fail "$script does not name the scan daemon unit"
done
# The configuration files are the SANE backend's two; nothing under the install root,
# where the programs write runtime files.
conffiles=$(sort -u "$control/conffiles" 2>/dev/null | tr '\n' ' ')
[[ $conffiles == "/etc/sane.d/dll.d/ovra /etc/sane.d/ovra.conf " ]] || fail "conffiles: $conffiles"
[[ $(wc -l <"$control/conffiles") -eq 2 ]] || fail "conffiles lists a file twice"
finish
