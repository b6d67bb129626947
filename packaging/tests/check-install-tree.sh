#!/usr/bin/env bash
# `cmake --install` into a temporary DESTDIR lays out the install root with its folders,
# programs and modes, and the system files beside it.
#   check-install-tree.sh BUILD_DIR INSTALL_ROOT UNIT_DIR RULES_DIR DESKTOP_DIR ICON_DIR MAN_DIR LINK_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
build=$1 root=$2 unitdir=$3 rulesdir=$4 desktopdir=$5 icondir=$6 mandir=$7 linkdir=$8
dest=$(mktemp -d /tmp/ovra-install-test.XXXXXX)
trap 'rm -rf "$dest"' EXIT
install_into "$dest" "$build"
r="$dest$root"

expect_mode() {   # PATH MODE TYPE(d|f)
  local path=$1 mode=$2 type=$3
  if [[ $type == d && ! -d $path ]] || [[ $type == f && ! -f $path ]]; then
    fail "missing ${path#"$dest"}"; return
  fi
  [[ ! -L $path ]] || { fail "${path#"$dest"} is a symbolic link"; return; }
  local got; got=$(mode_of "$path")
  [[ $got == "$mode" ]] || fail "${path#"$dest"} has mode $got, expected $mode"
  [[ $(stat -c %u "$path") == "$(id -u)" ]] || fail "${path#"$dest"} has another owner"
}

expect_mode "$r" 755 d
expect_mode "$r/bin" 755 d
expect_mode "$r/cfg" 755 d
expect_mode "$r/log" 755 d
expect_mode "$r/temp" 700 d
expect_mode "$r/scan" 755 d
expect_mode "$r/tool" 1777 d
for program in OvraPrintService OvraPrinterTool OvraPrintSetting ovraK246FW OvraScanDaemon ovra-status ovra-decode ovra-check; do
  expect_mode "$r/bin/$program" 755 f
  if [[ -f $r/bin/$program ]]; then
    file -b "$r/bin/$program" | grep -q '^ELF 64-bit LSB pie executable\|^ELF 64-bit LSB executable' ||
      fail "bin/$program is not an ELF program"
  fi
done
expect_mode "$r/bin/ovra-k246-tool-autostart.desktop" 644 f

# The install root holds exactly these entries; the runtime folders are empty.
expected=$(printf '%s\n' bin bin/OvraPrintService bin/OvraPrinterTool bin/OvraPrintSetting bin/ovraK246FW \
  bin/OvraScanDaemon bin/ovra-status bin/ovra-decode bin/ovra-check bin/ovra-k246-tool-autostart.desktop cfg log scan temp tool | sort)
actual=$(cd "$r" && find . -mindepth 1 | sed 's|^\./||' | sort)
[[ "$actual" == "$expected" ]] || fail "install root content differs: $(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]' | tr '\n' ' ')"

expect_mode "$dest$unitdir/ovra-k246-printservice.service" 644 f
expect_mode "$dest$unitdir/ovra-k246-scandaemon.service" 644 f
expect_mode "$dest$rulesdir/70-ovra-k246.rules" 644 f
for entry in printertool printsetting fwupdate; do
  expect_mode "$dest$desktopdir/ovra-k246-$entry.desktop" 644 f
done
expect_mode "$dest$icondir/128x128/apps/ovra-printer-tool.png" 644 f
expect_mode "$dest$icondir/64x64/apps/ovra-print-setting.png" 644 f
expect_mode "$dest$icondir/128x128/apps/ovra-fw-update.png" 644 f

# The SANE backend (sane/) where the SANE library loads it, and its configuration.
expect_mode "$dest/etc/sane.d/ovra.conf" 644 f
expect_mode "$dest/etc/sane.d/dll.d/ovra" 644 f
[[ -n $(find "$dest/usr/lib" -path '*/sane/libsane-ovra.so.1' -type l 2>/dev/null) ]] || fail "the SANE backend is not installed"

# The tools a user runs from a shell: links in the PATH to the programs in bin/.
for tool in ovra-status ovra-decode ovra-check; do
  link="$dest$linkdir/$tool"
  [[ -L $link && $(readlink "$link") == "$root/bin/$tool" ]] || fail "${link#"$dest"} is not a link to $root/bin/$tool"
done

# A man page for each program and tool, gzipped, that groff reads without a warning and
# that describes the program's options.
for page in man8/OvraPrintService.8 man8/OvraScanDaemon.8 man1/OvraPrinterTool.1 man1/OvraPrintSetting.1 \
            man1/ovraK246FW.1 man1/ovra-status.1 man1/ovra-decode.1 man1/ovra-check.1; do
  file="$dest$mandir/$page.gz"
  expect_mode "$file" 644 f
  [[ -f $file ]] || continue
  warnings=$(zcat "$file" | groff -man -ww -z 2>&1) || fail "$page: groff fails"
  [[ -z $warnings ]] || fail "$page: $warnings"
  # roff writes a minus sign as "\-".
  zcat "$file" | grep -qE -- '(\\-|-)(\\-|-)version' || fail "$page does not name --version"
done
zcat "$dest$mandir/man1/ovra-status.1.gz" | grep -q -- 'json' || fail "ovra-status(1) lacks --json"
zcat "$dest$mandir/man1/OvraPrinterTool.1.gz" | grep -q -- 'hide' || fail "OvraPrinterTool(1) lacks -hide"

# The menu entries and units start programs that are installed.
for file in "$dest$desktopdir"/ovra-k246-*.desktop "$dest$unitdir"/ovra-k246-*.service; do
  [[ -f $file ]] || continue
  exe=$(sed -n 's/^\(Exec\|ExecStart\)=\([^ ]*\).*/\2/p' "$file")
  [[ -n $exe && -x "$dest$exe" ]] || fail "$(basename "$file") starts '$exe', which is not installed"
done

# Nothing else is writable by everyone, nothing is set-user-ID or set-group-ID.
loose=$(find "$dest" -mindepth 1 ! -type l \( -perm -o+w -o -perm -u+s -o -perm -g+s \) ! -path "$r/tool" | sed "s|^$dest||")
[[ -z $loose ]] || fail "too open: $loose"

finish
