#!/usr/bin/env bash
# Network scan throughput: one page of MB megabytes from the emulated network scanner,
# (a) through the scan daemon into its page file, driven by ovra-scan, and (b) as a plain
# copy of the same data stream into a file by socat. Prints both rates, their ratio and
# the peak resident memory of the daemon's data process. Needs root (port 80).
#   bench/scan-throughput.sh [MB] [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
mb=${1:-200}
build=${2:-$top/build}
for tool in socat curl; do command -v $tool >/dev/null || { echo "needs $tool"; exit 2; }; done
address=127.0.0.230
port=27230
bytes=$((mb * 1024 * 1024))
work=$(mktemp -d /tmp/ovra-scanbench.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
now() { date +%s.%N; }

"$build/emulators/netscanner/ovra-scanner-emu" --address "$address" --pages 1 --page-bytes "$bytes" \
  --block-size 65536 > "$work/emu.log" 2>&1 &
pids+=($!)
sleep 0.5

# (b) the plain copy: post a job by hand, then copy the data connection into a file.
curl -s -o /dev/null --data "SCANTYPE=2&TYPE=RAW&SCANSOURCE=0&SINGLEPAGE=TRUE&RESOLUTION=300&TCPPORT=2080" \
  "http://$address/netscan/post"
t0=$(now)
socat -u "TCP:$address:2080" "OPEN:$work/copy.bin,creat,trunc"
t1=$(now)
copy_size=$(stat -c %s "$work/copy.bin")
rm -f "$work/copy.bin"

# (a) through the daemon.
export OVRA_INSTALL_ROOT="$work/root" OVRA_SCAN_DAEMON_PORT=$port OVRA_SCAN_DAEMON_FOREGROUND=1
mkdir -p "$OVRA_INSTALL_ROOT/scan"
"$build/OvraScanDaemon/OvraScanDaemon" > /dev/null 2>&1 &
daemon=$!
pids+=($daemon)
sleep 0.5
peak=0
( while sleep 0.05; do
    for pid in $(pgrep -P "$(pgrep -P $daemon | head -1)" 2>/dev/null); do
      rss=$(awk '/^VmHWM/ {print $2}' /proc/$pid/status 2>/dev/null || echo 0)
      [[ ${rss:-0} -gt $peak ]] && peak=$rss && echo "$peak" > "$work/peak"
    done
  done ) &
pids+=($!)
t2=$(now)
"$build/tools/ovra-scan/ovra-scan" --device "net:$address" --out "$work/pages" --source adf --format raw \
  --port $port --quiet
t3=$(now)
page_size=$(stat -c %s "$work/pages/"page-001.raw)
# ovra-scan copies the finished page out of the daemon's page file: take that copy's time off.
t4=$(now); cp "$work/pages/page-001.raw" "$work/again.raw"; t5=$(now)

awk -v mb="$mb" -v c="$copy_size" -v p="$page_size" -v t0="$t0" -v t1="$t1" -v t2="$t2" -v t3="$t3" \
    -v t4="$t4" -v t5="$t5" -v peak="$(cat "$work/peak" 2>/dev/null || echo 0)" 'BEGIN {
  plain = c / (t1 - t0) / 1048576; daemon = p / ((t3 - t2) - (t5 - t4)) / 1048576
  printf "page %d MB  plain copy %7.1f MB/s  through the daemon %7.1f MB/s  ratio %5.1f %%  data process peak RSS %.1f MiB\n",
         mb, plain, daemon, 100 * daemon / plain, peak / 1024
  printf "(the plain copy holds the stream with its block headers and markers: %d bytes for %d page bytes)\n", c, p
}'
