#!/usr/bin/env bash
# The installed menu entries pass desktop-file-validate, start installed programs and
# name icons installed into the hicolor theme; the tray monitor's shipped autostart entry
# names an installed icon as well.
#   check-desktop-entries.sh BUILD_DIR INSTALL_ROOT DESKTOP_DIR ICON_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
build=$1 root=${2%/} desktopdir=$3 icondir=$4
dest=$(mktemp -d /tmp/ovra-desktop-test.XXXXXX)
trap 'rm -rf "$dest"' EXIT
install_into "$dest" "$build"

declare -A programs=([printertool]=OvraPrinterTool [printsetting]=OvraPrintSetting [fwupdate]=ovraK246FW)
for entry in printertool printsetting fwupdate autostart; do
  if [[ $entry == autostart ]]; then
    file="$dest$root/bin/ovra-k246-tool-autostart.desktop"
  else
    file="$dest$desktopdir/ovra-k246-$entry.desktop"
    out=$(desktop-file-validate "$file" 2>&1) || fail "desktop-file-validate $(basename "$file"): $out"
    [[ -z $out ]] || fail "desktop-file-validate warns about $(basename "$file"): $out"
    exe=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$file")
    [[ $exe == "$root/bin/${programs[$entry]}" ]] || fail "$(basename "$file"): Exec=$exe"
  fi
  [[ -f $file ]] || { fail "missing $file"; continue; }
  icon=$(sed -n 's/^Icon=//p' "$file")
  found=$(find "$dest$icondir" -path "*/apps/$icon.png" | head -1)
  [[ -n $found ]] || { fail "$(basename "$file"): icon '$icon' is not installed"; continue; }
  size=$(basename "$(dirname "$(dirname "$found")")")
  [[ $(file -b "$found") == "PNG image data, ${size/x/ x }"* ]] || fail "$found is not a ${size} PNG"
done
finish
