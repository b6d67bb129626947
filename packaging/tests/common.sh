# shellcheck shell=bash
# Shared by the packaging tests: failure reporting, a staging install and the package.
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
failures=0

# install_into DEST BUILD: `cmake --install` of the build folder into DESTDIR DEST, under
# a umask that would leave every folder private, so modes cannot come from the umask.
install_into() {
  ( umask 077; DESTDIR="$1" cmake --install "$2" >/dev/null )
}

# mode_of PATH: octal mode, sticky bit included ("1777", "755").
mode_of() { stat -c %a "$1"; }

finish() {
  if [[ $failures -ne 0 ]]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}

# build_package OUT BUILD: the Debian package CPack makes of the build folder, written into
# OUT (with cpack.log) under a umask that would leave every folder private, so modes cannot
# come from the umask; prints the package's path.
build_package() {
  local out=$1 build=$2 debs
  mkdir -p "$out"
  ( umask 077; cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ) ||
    { cat "$out/cpack.log" >&2; echo "FAIL: cpack failed" >&2; return 1; }
  debs=("$out"/ovra-printer-k246_*.deb)
  [[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { echo "FAIL: no single package in $out" >&2; return 1; }
  echo "${debs[0]}"
}

# package_entries DEB: "PERMISSIONS OWNER PATH" for every entry of the package:
# "drwxrwxrwt root/root 0 2026-... ./opt/.../tool/" -> "drwxrwxrwt root/root /opt/.../tool"
package_entries() {
  dpkg-deb -c "$1" | awk '{ p = $6; sub(/^\./, "", p); sub(/\/$/, "", p); if (p != "") print $1, $2, p }'
}
