# shellcheck shell=bash
# Shared by the packaging tests: failure reporting and a staging install.
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
