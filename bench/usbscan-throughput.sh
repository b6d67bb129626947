#!/usr/bin/env bash
# USB scan throughput through the emulated usbfs: a grey job of MB megabytes from the
# USB scanner emulator (ovra-usbscanner-emu under the umockdev preload), (a) read by the
# emulator's own raw usbfs scan program (lock, start, every record in 512-byte bulk
# reads as the daemon does them, pages saved, unlock) and (b) scanned through the scan
# daemon (device search, open, lock, start, its data process writing the page files,
# unlock, close) with ovra-bench-scanfollow, which reads the records and deletes the
# finished pages without copying them. Both in turns, REPEAT times; the medians of the
# whole runs and their ratio.
#   bench/usbscan-throughput.sh [--mb 16] [--record 32768] [--repeat 3] [--build DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/benchlib.sh"

mb=16
record=32768
repeat=3
build=""
bench_options "$0 [--mb 16] [--record 32768] [--repeat 3] [--build DIR]" mb record repeat build -- "$@"
bench_init usbscan "$build"

vid=3a53
pid=0131
port=27231
width=4096
height=$((mb * 256))   # width × height grey bytes = MB MiB
raw_reader="$build/emulators/usbscanner/tests/ovra_usbscanner_scanclient"
[[ -x $raw_reader ]] || { echo "usbscan-throughput: $raw_reader is missing (a build with tests)" >&2; exit 3; }
now() { date +%s.%N; }

bench_start "$build/emulators/usbscanner/ovra-usbscanner-emu" --socket "$work/scan.sock" --env-file "$work/scan.env" \
  --scanner "$vid:$pid:BENCHSCAN:Ovra:Ovra K246 MFP" \
  --job "content=pattern,pages=1,width=$width,height=$height,mode=gray,record=$record,chunk=0" >/dev/null
bench_wait_for 10 test -e "$work/scan.env" || { echo "the USB scanner emulator did not start" >&2; exit 1; }

mkdir -p "$work/raw"
# The daemon and the raw reader see the emulated bus through the preload of the env file.
# shellcheck disable=SC2016  # expanded by the inner shell
bench_scan_daemon "$port" bash -c 'set -a; . "$1"; shift; exec "$@"' with-env "$work/scan.env" || exit 1
daemon=$bench_pid

raw_read() {
  local t0 t1 bytes
  t0=$(now)
  # shellcheck disable=SC1091
  (set -a; . "$work/scan.env"; exec "$raw_reader" "$vid" "$pid" "$work/raw") >"$work/raw.out"
  t1=$(now)
  bytes=$(stat -c %s "$work/raw/page_0.bin")
  rm -f "$work/raw/"*
  echo "bytes=$bytes seconds=$(bench_calc "$t1 - $t0" "%.3f") mibps=$(bench_calc "$bytes / ($t1 - $t0) / 1048576" "%.2f")"
}

# The daemon's run as a whole (search to close), like the raw reader's.
daemon_scan() {
  local line
  line=$("$build/bench/tools/ovra-bench-scanfollow" usb "$vid:$pid" --port "$port" --listener "$daemon")
  echo "$line mibps_total=$(bench_calc "$(bench_kv "$line" bytes) / $(bench_kv "$line" total_s) / 1048576" "%.2f")"
}

load_before=$(bench_loadavg)
bench_in_turns "$repeat" "USB scan" raw_read mibps daemon_scan mibps_total
load_after=$(bench_loadavg)

raw=$(bench_median "$work/raw_read.kv" mibps)
through=$(bench_median "$work/daemon_scan.kv" mibps_total)
last=$(tail -1 "$work/daemon_scan.kv")
bench_md ""
bench_md "USB scan through umockdev, $mb MiB grey in records of $record bytes, median of $repeat;" \
  "load average $load_before → $load_after"
bench_md ""
bench_md "| USB scan | value |"
bench_md "|---|---|"
bench_md "| raw bulk reader (the emulator's usbfs scan program) | $raw MiB/s |"
bench_md "| through the scan daemon (search to close) | $through MiB/s |"
bench_md "| ratio | $(bench_calc "100 * $through / $raw" "%.0f") % |"
bench_md "| data process peak RSS (VmHWM) | $(bench_calc "$(bench_kv "$last" hwm_kib) / 1024" "%.1f") MiB |"
