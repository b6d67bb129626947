#!/usr/bin/env bash
# The SANE path against ovra-scan for the same network job. (a) A lineart job of PAGES
# A4 pages at 1200 dpi (raw, 1275 bytes by 14031 lines each, 64 KiB blocks) from the
# emulated network scanner through the scan daemon, taken by ovra-scan into page files
# and by scanimage through SANE's dll loader and libsane-ovra into PNM files, both into
# memory (/dev/shm), in turns, REPEAT times: bytes per second of the whole runs and
# peak resident memory (/usr/bin/time: the process with the backend loaded in it), and
# the time from sane_start until sane_read has handed over the first line (a small ctypes
# front end on the backend, median of REPEAT). (b) One colour A4 page at 1200 dpi sent
# raw (429 MB, the emulator's --image, whatever the request): scanimage's and ovra-scan's
# rate and peak memory (--colour 0 leaves it out). Needs root (port 80), python3.
#   bench/sane-throughput.sh [--pages 4] [--repeat 3] [--colour 1] [--backend DIR] [--build DIR]
# --backend names the folder of libsane-ovra.so.1 (default BUILD/sane): another build's
# backend is measured against this build's daemon and emulator.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/benchlib.sh"

pages=4
repeat=3
backend=""
build=""
colour=1
bench_options "$0 [--pages 4] [--repeat 3] [--colour 1] [--backend DIR] [--build DIR]" pages repeat backend build colour -- "$@"
[[ $(id -u) -eq 0 ]] || { echo "sane-throughput: needs root (the emulated scanner serves port 80)" >&2; exit 3; }
for tool in scanimage python3 /usr/bin/time; do
  command -v $tool >/dev/null || { echo "sane-throughput: needs $tool" >&2; exit 3; }
done
bench_init sanescan "$build"
backend=$(cd "${backend:-$build/sane}" && pwd)
[[ -e $backend/libsane-ovra.so.1 ]] || { echo "sane-throughput: no libsane-ovra.so.1 in $backend" >&2; exit 3; }

address=127.0.0.235
colour_address=127.0.0.236
port=27235
line_bytes=1275     # 215.9 mm at 1200 dpi: 10200 dots, 1 bit each
lines=14031         # 297 mm at 1200 dpi
page_bytes=$((line_bytes * lines))
colour_bytes=$((10200 * 3 * lines))
now() { date +%s.%N; }

bench_memory_folder
store=$bench_memory_dir
mkdir -p "$work/root" "$work/config" "$store/scan"
ln -s "$store/scan" "$work/root/scan"
echo ovra >"$work/config/dll.conf"
printf 'net %s\nnet %s\n' "$address" "$colour_address" >"$work/config/ovra.conf"
export SANE_CONFIG_DIR="$work/config" LD_LIBRARY_PATH="$backend${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

bench_netscanner "$address" "$pages" "$page_bytes" || exit 1
bench_scan_daemon "$port" || exit 1

# timed CMD...: runs CMD (its output into files); "seconds=S rss_kib=K".
timed() {
  local t0 t1
  t0=$(now)
  /usr/bin/time -f "%M" -o "$work/time.out" "$@" >/dev/null 2>"$work/run.err" || { cat "$work/run.err" >&2; return 1; }
  t1=$(now)
  echo "seconds=$(bench_calc "$t1 - $t0" "%.3f") rss_kib=$(tail -1 "$work/time.out")"
}

# rate BYTES LINE: the line with mibps added.
with_rate() { echo "$2 mibps=$(bench_calc "$1 / $(bench_kv "$2" seconds) / 1048576" "%.1f")"; }

ovra_scan_job() {
  rm -rf "$store/out"
  with_rate $((pages * page_bytes)) "$(timed "$build/tools/ovra-scan/ovra-scan" --device "net:$address" --port "$port" \
    --source adf-multi --mode bw --resolution 1200 --out "$store/out" --quiet)"
}

# "ADF multi page": the earlier name of "ADF", which every version of the backend takes.
sane_job() {
  rm -rf "$store/sane" && mkdir -p "$store/sane"
  with_rate $((pages * page_bytes)) "$(timed scanimage -d "ovra:net:$address" --source "ADF multi page" \
    --mode Lineart --resolution 1200 --format=pnm --batch="$store/sane/p%d.pnm")"
  local delivered
  delivered=$(find "$store/sane" -name "p*.pnm" | wc -l)
  [[ $delivered -eq $pages ]] || { echo "scanimage delivered $delivered of $pages pages" >&2; return 1; }
}

load_before=$(bench_loadavg)
bench_in_turns "$repeat" "lineart job" ovra_scan_job mibps sane_job mibps
rm -rf "$store/out" "$store/sane"

# From sane_start until sane_read has handed over a whole line: the first page of a
# lineart job.
first_line() {
  python3 - "$backend/libsane-ovra.so.1" "net:$address" <<'PY'
import ctypes, sys, time
lib = ctypes.CDLL(sys.argv[1])
class Descriptor(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("title", ctypes.c_char_p), ("desc", ctypes.c_char_p),
                ("type", ctypes.c_int), ("unit", ctypes.c_int), ("size", ctypes.c_int), ("cap", ctypes.c_int),
                ("constraint_type", ctypes.c_int), ("constraint", ctypes.c_void_p)]
lib.sane_get_option_descriptor.restype = ctypes.POINTER(Descriptor)
lib.sane_init(ctypes.byref(ctypes.c_int()), None)
handle = ctypes.c_void_p()
assert lib.sane_open(sys.argv[2].encode(), ctypes.byref(handle)) == 0
count = ctypes.c_int()
lib.sane_control_option(handle, 0, 0, ctypes.byref(count), None)
for i in range(1, count.value):
    d = lib.sane_get_option_descriptor(handle, i).contents
    if d.name == b"mode":
        lib.sane_control_option(handle, i, 1, ctypes.create_string_buffer(b"Lineart", 32), None)
    elif d.name == b"resolution":
        lib.sane_control_option(handle, i, 1, ctypes.byref(ctypes.c_int(1200)), None)
class Parameters(ctypes.Structure):
    _fields_ = [("format", ctypes.c_int), ("last_frame", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("pixels_per_line", ctypes.c_int), ("lines", ctypes.c_int), ("depth", ctypes.c_int)]
buffer = (ctypes.c_ubyte * 65536)()
length = ctypes.c_int()
params = Parameters()
got = 0
t0 = time.monotonic()
status = lib.sane_start(handle)
t1 = time.monotonic()
lib.sane_get_parameters(handle, ctypes.byref(params))
while status == 0 and got < params.bytes_per_line:  # one whole line
    status = lib.sane_read(handle, buffer, len(buffer), ctypes.byref(length))
    got += length.value
t2 = time.monotonic()
lib.sane_cancel(handle)
lib.sane_close(handle)
lib.sane_exit()
print("start_ms=%.0f first_line_ms=%.0f status=%d bytes=%d" % ((t1 - t0) * 1000, (t2 - t0) * 1000, status, got))
PY
}

if [[ $colour -eq 1 ]]; then
  # A pattern whose first bytes are no JPEG marker.
  python3 -c "import sys
chunk = bytes((i * 37 + (i >> 9)) & 255 | 1 for i in range(1 << 20))
n = int(sys.argv[1]); out = open(sys.argv[2], 'wb')
while n > 0:
    out.write(chunk[:n]); n -= len(chunk)" "$colour_bytes" "$store/colour.raw"
  bench_start "$build/emulators/netscanner/ovra-scanner-emu" --address "$colour_address" --image "$store/colour.raw" \
    --block-size 65536 >"$store/colour-emu.log" 2>&1
  # It reads the whole image first (some seconds for 429 MB).
  bench_wait_for 120 bash -c "exec 3<>/dev/tcp/$colour_address/80" 2>/dev/null || { echo "the colour scanner emulator did not start" >&2; exit 1; }
  colour_scan=$(with_rate "$colour_bytes" "$(timed "$build/tools/ovra-scan/ovra-scan" --device "net:$colour_address" \
    --port "$port" --mode color --format raw --resolution 1200 --out "$store/out" --quiet)")
  rm -rf "$store/out"
  colour_sane=$(with_rate "$colour_bytes" "$(timed scanimage -d "ovra:net:$colour_address" --mode Color \
    --resolution 1200 --format=pnm)")
  echo "colour page: ovra-scan $colour_scan; scanimage $colour_sane" >&2
fi
: >"$work/first.kv"
for ((i = 1; i <= repeat; i++)); do first_line >>"$work/first.kv"; sleep 1; done
echo "first line: $(tail -1 "$work/first.kv")" >&2
load_after=$(bench_loadavg)

med() { bench_median "$work/$1.kv" "$2"; }
mib() { bench_calc "$1 / 1024" "%.1f"; }
direct=$(med ovra_scan_job mibps)
sane=$(med sane_job mibps)
bench_md ""
bench_md "SANE path: scanimage through libsane-ovra ($backend) against ovra-scan, the same network job; median of $repeat; load average $load_before → $load_after"
bench_md ""
bench_md "| SANE path | ovra-scan | scanimage + libsane-ovra | ratio | target |"
bench_md "|---|---|---|---|---|"
bench_md "| lineart A4 1200 dpi, $pages pages ($(bench_calc "$pages * $page_bytes / 1048576" "%.0f") MiB raw): rate | $direct MiB/s | $sane MiB/s | $(bench_calc "100 * $sane / $direct" "%.0f") % | ≥ 90 % |"
bench_md "| the same: peak RSS | $(mib "$(med ovra_scan_job rss_kib)") MiB | $(mib "$(med sane_job rss_kib)") MiB | | < 32 MiB |"
if [[ $colour -eq 1 ]]; then
  cs=$(bench_kv "$colour_scan" mibps) ss=$(bench_kv "$colour_sane" mibps)
  bench_md "| colour A4 1200 dpi, 1 page ($(bench_calc "$colour_bytes / 1048576" "%.0f") MiB raw): rate | $cs MiB/s | $ss MiB/s | $(bench_calc "100 * $ss / $cs" "%.0f") % | ≥ 90 % |"
  bench_md "| the same: peak RSS | $(mib "$(bench_kv "$colour_scan" rss_kib)") MiB | $(mib "$(bench_kv "$colour_sane" rss_kib)") MiB | | < 32 MiB |"
fi
bench_md "| lineart A4 1200 dpi: sane_start → first line from sane_read (median) | | $(med first first_line_ms) ms | | ≤ 1000 ms |"
