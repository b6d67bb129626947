#!/usr/bin/env bash
# Runs the benchmarks one after the other (their progress on standard error) and prints
# their tables, which also go together to BUILD/bench/results.md:
#   parsers   status responses and network-settings replies per second (Google Benchmark)
#   net-scan  network scan through the scan daemon against a plain copy (scan-throughput.sh)
#   usb-scan  USB scan through the daemon against a raw usbfs reader (usbscan-throughput.sh)
#   sane-scan scanimage through libsane-ovra against ovra-scan, the same job (sane-throughput.sh)
#   idle      idle cost of the print service and the tray monitor (service-idle.sh)
#   latency   from a printer's state change to its status file and tray row (status-latency.sh)
# Every figure depends on the machine and on what else runs on it: the tables carry the
# load average before and after each benchmark.
#
#   bench/run-all.sh [--build DIR] [--only LIST] [--smoke] [options]
#     --build DIR            the build folder (default: build/)
#     --only a,b,...         a subset of: parsers,net-scan,usb-scan,sane-scan,idle,latency
#     --smoke                everything tiny, for a test that the set still works (well under a
#                            minute); its tables go to BUILD/bench/smoke-results.md
#     --scan-mb N            network job size in MiB (default 512)
#     --scan-pages N         its pages (default 1)
#     --usb-mb N             USB job size in MiB (default 16)
#     --sane-pages N         A4 1200 dpi lineart pages of the SANE job (default 4)
#     --repeat N             runs of each scan, medians (default 3)
#     --idle-printers LIST   printer counts (default 1,8,32)
#     --idle-seconds N       measuring window (default 60)
#     --idle-warmup N        before the window (default 20)
#     --idle-history N       finished jobs in CUPS's history meanwhile (default 0)
#     --latency-changes N    changes per printer (default 20)
#     --parser-time SECONDS  minimum time per parser benchmark (default 0.5)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/benchlib.sh"

build=$bench_top/build
only=parsers,net-scan,usb-scan,sane-scan,idle,latency
scan_mb=512
scan_pages=1
usb_mb=16
sane_pages=4
sane_colour=1
repeat=3
idle_printers=1,8,32
idle_seconds=60
idle_warmup=20
idle_history=0
latency_changes=20
latency_pause=12000
parser_time=0.5
smoke=0
bench_options "$0 [--build DIR] [--only LIST] [--smoke] [options] (see the head of the script)" \
  build only smoke! scan-mb scan-pages usb-mb sane-pages repeat idle-printers idle-seconds idle-warmup idle-history \
  latency-changes parser-time -- "$@"
if [[ $smoke -eq 1 ]]; then
  scan_mb=8 usb_mb=1 sane_pages=1 sane_colour=0 repeat=1 idle_printers=2 idle_seconds=2 idle_warmup=1
  latency_changes=1 latency_pause=0 parser_time=0.01
fi
build=$(cd "$build" && pwd) || exit 2
prefix=""
[[ $smoke -eq 0 ]] || prefix=smoke-
parts="$build/bench/${prefix}parts"
rm -rf "$parts"
mkdir -p "$parts"
results="$build/bench/${prefix}results.md"

# section NAME CMD...: runs one benchmark, its table into $parts/NAME.md; a skipped one
# (status 3) is noted there, a failed one too, with its status in $parts/NAME.status.
section() {
  local name=$1 status
  shift
  [[ ",$only," == *",$name,"* ]] || return 0
  echo "== $name" >&2
  OVRA_BENCH_MD="$parts/$name.md" "$@" >&2
  status=$?
  if [[ $status -eq 3 ]]; then
    printf '\n%s: skipped (see the message above)\n' "$name" >>"$parts/$name.md"
  elif [[ $status -ne 0 ]]; then
    printf '\n%s: FAILED (status %d)\n' "$name" "$status" >>"$parts/$name.md"
  fi
  echo "$status" >"$parts/$name.status"
}

parsers() {
  local program="$build/bench/parsers/ovra_bench_parsers"
  [[ -x $program ]] || { echo "parsers: not built (Google Benchmark, libbenchmark-dev, missing)" >&2; return 3; }
  local load
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  {
    printf '\nParsers, load average %s\n\n| parser | input | calls per CPU second | ns per call (CPU) |\n|---|---|---|---|\n' "$load"
    "$program" --benchmark_min_time="$parser_time" --benchmark_format=csv 2>/dev/null |
      awk -F, '/^"/ { gsub(/"/, "", $1); split($1, n, "/"); printf "| %s | %s | %.0f | %.0f |\n", n[1], n[2], 1e9 / $4, $4 }'
  } | tee -a "$OVRA_BENCH_MD"
}

scans() {
  section parsers parsers
  section net-scan "$here/scan-throughput.sh" --build "$build" --mb "$scan_mb" --pages "$scan_pages" --repeat "$repeat"
  section usb-scan "$here/usbscan-throughput.sh" --build "$build" --mb "$usb_mb" --repeat "$repeat"
  section sane-scan "$here/sane-throughput.sh" --build "$build" --pages "$sane_pages" --repeat "$repeat" \
    --colour "$sane_colour"
}

services() {
  section idle "$here/service-idle.sh" --build "$build" --printers "$idle_printers" --seconds "$idle_seconds" \
    --warmup "$idle_warmup" --history "$idle_history"
  section latency "$here/status-latency.sh" --build "$build" --changes "$latency_changes" --pause-ms "$latency_pause"
}

# A smoke run does not measure: the scans run beside the service benchmarks to be short.
if [[ $smoke -eq 1 ]]; then
  scans &
  services
  wait
else
  scans
  services
fi

{
  echo "# Benchmarks"
  echo
  echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, build $build$([[ $smoke -eq 1 ]] && echo ', smoke run')"
  for name in parsers net-scan usb-scan sane-scan idle latency; do
    [[ -e $parts/$name.md ]] && cat "$parts/$name.md"
  done
} >"$results"
echo >&2
cat "$results"
echo >&2
echo "Results: $results" >&2
failed=$(grep -lv '^[03]$' "$parts/"*.status 2>/dev/null | xargs -r -n1 basename | sed 's/\.status$//' | tr '\n' ' ')
[[ -z $failed ]] || { echo "failed: $failed" >&2; exit 1; }
