#!/usr/bin/env bash
# The suite at work without a printer: a private CUPS with two queues, an emulated
# network printer and an emulated USB printer playing scenarios, the print service
# polling both, the tray monitor showing them (on your display, or on a virtual one
# with screenshots when there is none), ovra-status following what the service
# publishes, and (as root) the scan daemon with an emulated network scanner from which
# ovra-scan fetches a two-page feeder job.
#   scripts/demo.sh [SECONDS]     (default 90; Ctrl-C ends it earlier)
# OVRA_DEMO_BUILD_DIR names the build folder to (re)build and run (default build/).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-90}
"$top/scripts/install-deps.sh"
echo "Building..."
build=${OVRA_DEMO_BUILD_DIR:-$top/build}
"$top/scripts/build.sh" "$build" >/dev/null

cups="$top/testharness/cups/ovra-test-cups"
ppd="$top/testharness/cups/ppd"
work=$(mktemp -d /tmp/ovra-demo.XXXXXX)
pids=()
cleanup() {
  trap - EXIT INT TERM
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  "$cups" stop "$work/cups" >/dev/null 2>&1 || true
  rm -rf "$work"
  echo "Demo finished; everything it started is stopped and $work is removed."
}
trap cleanup EXIT INT TERM

export OVRA_INSTALL_ROOT="$work/root"
echo "Install root: $OVRA_INSTALL_ROOT"

echo "Starting a private CUPS..."
eval "$("$cups" start "$work/cups")"
net_address=127.0.0.77
"$cups" add-queue "$work/cups" ovra-office "socket://$net_address:9100" "$ppd/ovra-mk246.ppd" >/dev/null
"$cups" add-queue "$work/cups" ovra-desk "usb://Ovra/P2200DN?serial=DEMO0001" "$ppd/ovra-p2200dn.ppd" >/dev/null
"$cups" add-queue "$work/cups" acme-hall "socket://127.0.0.78:9100" "$ppd/acme-laserjet-100.ppd" >/dev/null

echo "Starting the emulated printers..."
"$build/emulators/netprinter/ovra-printer-emu" --address "$net_address" --product "Ovra MK246" \
  --scenario "$top/scripts/demo/network-printer.scenario" --loop > "$work/network-printer.log" &
pids+=($!)
"$build/emulators/usbprinter/ovra-usbprinter-emu" --socket "$work/usb.sock" --env-file "$work/usb.env" \
  --printer 3a53:0122:DEMO0001 > /dev/null &
pids+=($!)
for _ in $(seq 100); do [[ -e "$work/usb.env" ]] && break; sleep 0.1; done
# shellcheck disable=SC1091
. "$work/usb.env"
"$build/emulators/netprinter/ovra-printer-emu" --usb-socket "$work/usb.sock" --usb-id 2 --product "Ovra P2200DN" \
  --serial DEMO0001 --scenario "$top/scripts/demo/usb-printer.scenario" --loop > "$work/usb-printer.log" &
pids+=($!)

# A network printer that CUPS reports idle and "Ready" is not polled; a job held by the
# private CUPS keeps the office queue printing for the whole demo.
echo "demo page" > "$work/page.txt"
"$cups" print "$work/cups" ovra-office "$work/page.txt" >/dev/null

echo "Starting the print service (it sees the emulated USB bus through umockdev)..."
LD_PRELOAD=libumockdev-preload.so.0 UMOCKDEV_DIR="$UMOCKDEV_DIR" "$build/OvraPrintService/OvraPrintService" &
pids+=($!)

shots="$build/demo-screenshots"
if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then
  echo "Starting the tray monitor on your display $DISPLAY..."
  QT_QPA_PLATFORM=xcb "$build/OvraPrinterTool/OvraPrinterTool" >/dev/null 2>&1 &
  pids+=($!)
  shots=""
else
  echo "No display: the tray monitor runs on a virtual one; screenshots go to $shots"
  rm -rf "$shots" && mkdir -p "$shots"
  exec 5> "$work/display"
  Xvfb -displayfd 5 -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [[ -s "$work/display" ]] && break; sleep 0.1; done
  export DISPLAY=":$(head -1 "$work/display")"
  openbox >/dev/null 2>&1 &
  pids+=($!)
  trayer --edge bottom --align right --widthtype pixel --width 200 --heighttype pixel --height 32 \
    --transparent false --tint 0x303840 >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
  QT_QPA_PLATFORM=xcb "$build/OvraPrinterTool/OvraPrinterTool" >/dev/null 2>&1 &
  pids+=($!)
  ( n=0; while sleep 10; do n=$((n + 1)); import -window root "$shots/tray-$(printf %02d $n).png" 2>/dev/null; done ) &
  pids+=($!)
fi

# The scan part: the scan daemon in the demo's install root on a port of its own, an
# emulated network scanner with two pages in its feeder, and the reference scan client.
# The scanner's scan service is on port 80, which only root may bind.
pages=""
if [[ $(id -u) -eq 0 ]]; then
  pages="$build/demo-scan-pages"
  rm -rf "$pages" && mkdir -p "$pages" "$OVRA_INSTALL_ROOT/scan"
  scanner_address=127.0.0.79
  export OVRA_SCAN_DAEMON_PORT=$((20000 + RANDOM % 20000))
  echo "Starting the scan daemon on 127.0.0.1:$OVRA_SCAN_DAEMON_PORT and an emulated network scanner on $scanner_address..."
  OVRA_SCAN_DAEMON_FOREGROUND=1 "$build/OvraScanDaemon/OvraScanDaemon" >"$work/scan-daemon.log" 2>&1 &
  pids+=($!)
  "$build/emulators/netscanner/ovra-scanner-emu" --address "$scanner_address" --pages 2 >"$work/scanner.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/$scanner_address/80") 2>/dev/null &&
      (exec 3<>"/dev/tcp/127.0.0.1/$OVRA_SCAN_DAEMON_PORT") 2>/dev/null && break
    sleep 0.1
  done
  echo "Scanning a two-page feeder job into $pages..."
  "$build/tools/ovra-scan/ovra-scan" --device "net:$scanner_address" --source adf-multi --resolution 300 \
    --out "$pages" --timeout 60 ||
    { echo "The scan failed; the scan daemon's error log says:"; cat "$OVRA_INSTALL_ROOT/scan/ovra_scan_err.log" || true; }
else
  echo "Not root: the scan part is skipped (the emulated network scanner needs port 80)."
fi

echo "Following the printers for $seconds s (acme-hall is another maker's and is never listed):"
timeout "$seconds" "$build/tools/ovra-status/ovra-status" --watch || true
echo
echo "What the tray monitor would read now:"
"$build/tools/ovra-status/ovra-status"
[[ -z "$shots" ]] || echo "Screenshots of the tray monitor: $shots"
[[ -z "$pages" ]] || echo "Scanned pages: $pages"
