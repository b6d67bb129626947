#!/usr/bin/env bash
# scripts/demo.sh runs unattended for a short while and finishes with 0: the printers
# show up, the tray monitor leaves screenshots (no display: the virtual one), the scan
# part (as root) leaves two scanned pages that decode, and the temporary root is gone
# afterwards.
#   check-demo.sh SOURCE_DIR BUILD_DIR [SECONDS]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
top=$1 build=$2 seconds=${3:-25}
log=$(mktemp /tmp/ovra-demo-test.XXXXXX)
trap 'rm -f "$log"' EXIT

OVRA_DEMO_BUILD_DIR="$build" DISPLAY="" timeout 540 bash "$top/scripts/demo.sh" "$seconds" </dev/null >"$log" 2>&1
rc=$?
[[ $rc -eq 0 ]] || fail "demo.sh exited with $rc"
grep -q "^Demo finished" "$log" || fail "demo.sh did not clean up"
grep -q "ovra-office" "$log" || fail "the network printer's queue was never shown"
grep -q "ovra-desk" "$log" || fail "the USB printer's queue was never shown"

root=$(sed -n 's/^Install root: //p' "$log")
[[ -n $root ]] || fail "demo.sh did not say its install root"
[[ -z $root || ! -e $(dirname "$root") ]] || fail "the demo's temporary folder $(dirname "$root") is left behind"

shots="$build/demo-screenshots"
grep -qF "Screenshots of the tray monitor: $shots" "$log" || fail "demo.sh did not say where the screenshots are"
count=$(find "$shots" -name 'tray-*.png' -size +1k 2>/dev/null | wc -l)
[[ $count -ge 1 ]] || fail "no screenshot in $shots"

pages="$build/demo-scan-pages"
if [[ $(id -u) -eq 0 ]]; then
  grep -qF "Scanned pages: $pages" "$log" || fail "demo.sh did not say where the pages are"
  for page in page-001.jpg page-002.jpg; do
    if [[ ! -s $pages/$page ]]; then
      fail "no $page in $pages"
    elif [[ $(head -c 2 "$pages/$page" | od -An -tx1 | tr -d ' ') != ffd8 ]]; then
      fail "$page is not a JPEG image"
    elif [[ $(djpeg -pnm "$pages/$page" 2>/dev/null | head -c 15 | tr '\n' ' ') != "P6 2550 3508 25" ]]; then
      # The test chart, colour, 215.9 x 297 mm at 300 dpi: what a viewer shows.
      fail "$page does not decode to a 2550 x 3508 colour image"
    fi
  done
  [[ ! -e $pages/page-003.jpg ]] || fail "more pages than the scanner's two"
else
  grep -q "scan part is skipped" "$log" || fail "demo.sh did not say that it skipped the scan part"
fi

if [[ $failures -ne 0 ]]; then
  echo "--- demo output" >&2
  cat "$log" >&2
fi
finish
