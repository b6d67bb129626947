#!/usr/bin/env bash
# Every program answers --help (exit 0, a usage naming --version, on stdout) and --version
# ("NAME VERSION", exit 0), and a wrong option with exit 2 and a usage line on stderr;
# all of it without a display, and without starting any work.
#   check-command-lines.sh VERSION PROGRAM...
set -uo pipefail
version=$1
shift
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# run ARGS...: the program's stdout in $out, stderr in $err, exit status in $rc.
run() {
  local errfile; errfile=$(mktemp)
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$@" 2>"$errfile")
  rc=$?
  err=$(cat "$errfile"); rm -f "$errfile"
}

for program in "$@"; do
  name=$(basename "$program")
  run "$program" --help
  [[ $rc -eq 0 ]] || fail "$name --help exits $rc: $err"
  grep -qi 'usage' <<<"$out" || fail "$name --help shows no usage: $out"
  grep -q -- '--version' <<<"$out" || fail "$name --help does not name --version"
  run "$program" --version
  [[ $rc -eq 0 && $out == "$name $version" ]] || fail "$name --version: exit $rc, '$out'"
  run "$program" --no-such-option
  [[ $rc -eq 2 ]] || fail "$name --no-such-option exits $rc"
  grep -qi 'usage' <<<"$err" || fail "$name --no-such-option gives no usage line on stderr: $err"
  [[ -z $out ]] || fail "$name --no-such-option writes to stdout: $out"
  case $name in
  OvraPrinterTool)
    # "-hide" in any letter case, and Qt's own options, beside the common ones.
    run "$program" -HIDE -platform offscreen --version
    [[ $rc -eq 0 && $out == "$name $version" ]] || fail "$name -HIDE -platform offscreen --version: exit $rc, $err"
    run "$program" -hidden
    [[ $rc -eq 2 ]] || fail "$name -hidden exits $rc"
    ;;
  esac
done

if [[ $failures -ne 0 ]]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
