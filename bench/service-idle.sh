#!/usr/bin/env bash
# Idle cost of the print service with N emulated printers (half USB, half network), all
# "Ready" and CUPS idle: CPU seconds per minute (the service and the commands it runs),
# processes started per minute (machine-wide fork counter) and resident memory.
#   bench/service-idle.sh N [SECONDS] [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
count=${1:?usage: service-idle.sh N [SECONDS] [BUILD_DIR]}
seconds=${2:-60}
build=${3:-$top/build}
emu="$build/emulators/netprinter/ovra-printer-emu"
usbemu="$build/emulators/usbprinter/ovra-usbprinter-emu"
service="$build/OvraPrintService/OvraPrintService"
cupsctl="$top/testharness/cups/ovra-test-cups"

work=$(mktemp -d /tmp/ovra-bench.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  "$cupsctl" stop "$work/cups" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

eval "$("$cupsctl" start "$work/cups")"
export OVRA_INSTALL_ROOT="$work/root"
usb=$((count / 2))
"$usbemu" --socket "$work/usb.sock" --env-file "$work/usb.env" >/dev/null &
pids+=($!)
for _ in $(seq 100); do [[ -e "$work/usb.env" ]] && break; sleep 0.1; done
. "$work/usb.env"
for i in $(seq 1 "$count"); do
  if [[ $i -le $usb ]]; then
    id=$("$usbemu" ctl "$work/usb.sock" add 3a53 0122 "BENCH$i" | awk '{print $2}')
    "$emu" --usb-socket "$work/usb.sock" --usb-id "$id" --state ready >/dev/null &
    uri="usb://Ovra/P2200DN?serial=BENCH$i"
    ppd=ovra-p2200dn
  else
    address="127.0.1.$i"
    "$emu" --address "$address" --state ready --product "Ovra MK246" >/dev/null &
    uri="socket://$address:9100"
    ppd=ovra-mk246
  fi
  pids+=($!)
  "$cupsctl" add-queue "$work/cups" "bench$i" "$uri" "$top/testharness/cups/ppd/$ppd.ppd" >/dev/null
done

LD_PRELOAD=libumockdev-preload.so.0 UMOCKDEV_DIR="$UMOCKDEV_DIR" "$service" &
service_pid=$!
pids+=("$service_pid")
sleep 20   # first pass, first polls, first job checks

cpu_ticks() { awk '{print $14 + $15 + $16 + $17}' "/proc/$service_pid/stat"; }
forks() { awk '/^processes/ {print $2}' /proc/stat; }
hz=$(getconf CLK_TCK)

t0=$(cpu_ticks); f0=$(forks)
sleep "$seconds"
t1=$(cpu_ticks); f1=$(forks)
rss=$(awk '/^VmRSS/ {print $2}' "/proc/$service_pid/status")
threads=$(awk '/^Threads/ {print $2}' "/proc/$service_pid/status")

awk -v n="$count" -v dt=$((t1 - t0)) -v hz="$hz" -v df=$((f1 - f0)) -v s="$seconds" -v rss="$rss" -v th="$threads" -v usb="$usb" \
  'BEGIN { printf "printers %3d (USB %d)  cpu %6.2f s/min  processes %6.0f /min  rss %6.1f MiB  threads %d\n",
           n, usb, dt / hz * 60 / s, df * 60 / s, rss / 1024, th }'
