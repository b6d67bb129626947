#!/usr/bin/env bash
# Idle cost of the print service with N emulated network printers, all "Ready" and
# CUPS idle: CPU seconds per minute (the service and the commands it runs), processes
# started per minute (machine-wide fork counter) and resident memory.
#   bench/service-idle.sh N [SECONDS] [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
count=${1:?usage: service-idle.sh N [SECONDS] [BUILD_DIR]}
seconds=${2:-60}
build=${3:-$top/build}
emu="$build/emulators/netprinter/ovra-printer-emu"
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
for i in $(seq 1 "$count"); do
  address="127.0.1.$i"
  "$emu" --address "$address" --state ready --product "Ovra MK246" >/dev/null &
  pids+=($!)
  "$cupsctl" add-queue "$work/cups" "bench$i" "socket://$address:9100" "$top/testharness/cups/ppd/ovra-mk246.ppd" >/dev/null
done

"$service" &
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

awk -v n="$count" -v dt=$((t1 - t0)) -v hz="$hz" -v df=$((f1 - f0)) -v s="$seconds" -v rss="$rss" -v th="$threads" \
  'BEGIN { printf "printers %3d  cpu %6.2f s/min  processes %6.0f /min  rss %6.1f MiB  threads %d\n",
           n, dt / hz * 60 / s, df * 60 / s, rss / 1024, th }'
