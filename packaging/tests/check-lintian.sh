#!/usr/bin/env bash
# The Debian package built by CPack passes lintian: no error or warning but those its
# overrides give a reason for, and every override is still used. Its programs and the
# SANE backend carry Debian's hardening: position-independent (ELF type DYN), relocations
# read-only after start (GNU_RELRO and BIND_NOW), stack canaries, fortified libc calls
# (the scan daemon, which runs as root, at least).
#   check-lintian.sh BUILD_DIR INSTALL_ROOT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
build=$1 root=${2%/}
out=$(mktemp -d /tmp/ovra-lintian-test.XXXXXX)
trap 'rm -rf "$out"' EXIT
deb=$(build_package "$out" "$build") || exit 1

# lintian refuses to run as root unless told it may.
# Its exit status tells only whether it could check the package; the tags decide.
report=$(lintian --allow-root --tag-display-limit 0 --show-overrides --fail-on none "$deb" 2>&1) && rc=0 || rc=$?
echo "$report"
complaints=$(grep -E '^[EW]: ' <<<"$report" || true)
[[ -z $complaints ]] || fail "lintian reports errors or warnings without an override: $complaints"
unused=$(grep -E 'unused-override|mismatched-override' <<<"$report" || true)
[[ -z $unused ]] || fail "overrides that match nothing: $unused"
[[ $rc -eq 0 ]] || fail "lintian could not check the package (status $rc)"
# Each override has its reason on a comment line before it.
overrides=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/lintian/overrides/ovra-printer-k246)
# (Overrides that share one reason follow each other.)
awk '/^#/ { reason = 1 } /^$/ { reason = 0 } /^[^#]/ && !reason { bad = 1; print "override without a reason: " $0 }
     END { exit bad }' \
  <<<"$overrides" || fail "an override lacks its reason"

tree="$out/tree"
dpkg-deb -x "$deb" "$tree"
for file in "$tree$root"/bin/* "$tree"/usr/lib/*/sane/libsane-ovra.so.1.*; do
  [[ $(head -c 4 "$file" | od -An -c | tr -d ' ') == 177ELF ]] || continue
  name=${file#"$tree"}
  [[ $(readelf -h "$file" | awk '/Type:/ { print $2 }') == DYN ]] || fail "$name is not position-independent"
  readelf -lW "$file" | grep -q GNU_RELRO || fail "$name has no read-only relocations (RELRO)"
  readelf -dW "$file" | grep -qE 'BIND_NOW|FLAGS_1.* NOW' || fail "$name binds lazily (no BIND_NOW)"
  symbols=$(readelf --dyn-syms -W "$file")
  grep -q '__stack_chk_fail' <<<"$symbols" || fail "$name has no stack protector"
done
grep -qE '__[a-z]+_chk' <<<"$(readelf --dyn-syms -W "$tree$root/bin/OvraScanDaemon")" ||
  fail "the scan daemon calls no fortified libc function (_FORTIFY_SOURCE)"
finish
