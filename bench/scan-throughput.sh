#!/usr/bin/env bash
# Network scan throughput: a raw job of MB megabytes (in PAGES pages) from the emulated
# network scanner, (a) as a plain copy of the data stream into a file (socat, 64 KiB
# buffer) and (b) through the scan daemon's data process into its page files, followed
# by ovra-bench-scanfollow: the record replies read as a client reads them, each
# finished page file checked and deleted, no copy of the pages out. Both in turns,
# REPEAT times; the table gives the medians, their ratio and the data process's resident
# memory at 10, 50 and 90 % of the job and its peak. Needs root (port 80), socat, curl.
# Both write into memory (/dev/shm: the scan folder and the copy), since a disk shared
# with others makes either run anything from half to twice as fast as the other; --disk
# writes both into the bench's folder under /tmp instead.
#   bench/scan-throughput.sh [--mb 512] [--pages 1] [--repeat 3] [--disk] [--build DIR]
#   bench/scan-throughput.sh MB [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/benchlib.sh"

mb=512
pages=1
repeat=3
build=""
disk=0
if [[ ${1:-} =~ ^[0-9]+$ ]]; then
  mb=$1 build=${2:-}
  set --
fi
bench_options "$0 [--mb 512] [--pages 1] [--repeat 3] [--disk] [--build DIR]" mb pages repeat disk! build -- "$@"
[[ $(id -u) -eq 0 ]] || { echo "scan-throughput: needs root (the emulated scanner serves port 80)" >&2; exit 3; }
for tool in socat curl; do command -v $tool >/dev/null || { echo "scan-throughput: needs $tool" >&2; exit 3; }; done
bench_init netscan "$build"

address=127.0.0.230
port=27230
block=65536
page_bytes=$((mb * 1048576 / pages))
source=adf
form_pages="SINGLEPAGE=TRUE&"
if [[ $pages -gt 1 ]]; then
  source=adf-multi
  form_pages=""
fi
now() { date +%s.%N; }

store=$work/store
mkdir -p "$work/root"
if [[ $disk -eq 0 ]]; then
  bench_memory_folder
  store=$bench_memory_dir
  ln -s "$store" "$work/root/scan"
fi
mkdir -p "$store"

bench_netscanner "$address" "$pages" "$page_bytes" || exit 1
bench_scan_daemon "$port" || exit 1
daemon=$bench_pid

# The plain copy: the job posted by hand, its data connection copied into a file.
plain_copy() {
  local t0 t1 size
  curl -s -o /dev/null --data "SCANTYPE=2&TYPE=RAW&SCANSOURCE=0&${form_pages}RESOLUTION=300&TCPPORT=2080" \
    "http://$address/netscan/post"
  t0=$(now)
  socat -u -b "$block" "TCP:$address:2080" "OPEN:$store/copy.bin,creat,trunc"
  t1=$(now)
  size=$(stat -c %s "$store/copy.bin")
  rm -f "$store/copy.bin"
  echo "bytes=$size seconds=$(bench_calc "$t1 - $t0" "%.3f") mibps=$(bench_calc "$size / ($t1 - $t0) / 1048576" "%.1f")"
}

# Through the daemon, with the data process's memory sampled.
daemon_scan() {
  "$build/bench/tools/ovra-bench-scanfollow" net "$address" --port "$port" --listener "$daemon" --source "$source"
}

# steal_ticks: CPU time the host gave to others (a shared machine slows down in phases).
cpu_ticks() { awk '/^cpu / {print $2 + $3 + $4 + $5 + $6 + $7 + $8 + $9, $9}' /proc/stat; }
load_before=$(bench_loadavg)
read -r total0 steal0 < <(cpu_ticks)
bench_in_turns "$repeat" "network scan" plain_copy mibps daemon_scan mibps
read -r total1 steal1 < <(cpu_ticks)
load_after=$(bench_loadavg)
steal=$(bench_calc "100 * ($steal1 - $steal0) / ($total1 - $total0 + 1)" "%.0f")
# The ratio of each pair of runs taken in turn: median, lowest and highest.
rates() { sed -n 's/.*mibps=\([0-9.]*\).*/\1/p' "$work/$1.kv"; }
pair_ratios=$(paste -d' ' <(rates plain_copy) <(rates daemon_scan) |
  awk '$1 > 0 {printf "%.0f\n", 100 * $2 / $1}' | sort -n)
pair_median=$(awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)}' <<<"$pair_ratios")

plain=$(bench_median "$work/plain_copy.kv" mibps)
through=$(bench_median "$work/daemon_scan.kv" mibps)
last=$(tail -1 "$work/daemon_scan.kv")
kib_mib() { bench_calc "$(bench_kv "$last" "$1") / 1024" "%.1f"; }
bench_md ""
written_to="into memory (/dev/shm)"
[[ $disk -eq 0 ]] || written_to="onto the disk under /tmp"
bench_md "Network scan, $mb MiB raw in $pages page(s), 64 KiB blocks, both written $written_to, median of $repeat; load average $load_before → $load_after"
bench_md ""
bench_md "| network scan | value | target |"
bench_md "|---|---|---|"
bench_md "| plain copy of the stream into a file (socat) | $plain MiB/s | |"
bench_md "| through the scan daemon into page files | $through MiB/s | |"
bench_md "| ratio of the medians | $(bench_calc "100 * $through / $plain" "%.0f") % | ≥ 90 % |"
bench_md "| ratio per pair of runs: median (lowest – highest) | $pair_median % ($(head -1 <<<"$pair_ratios") – $(tail -1 <<<"$pair_ratios") %) | |"
bench_md "| CPU time taken by the host (steal) during the runs | $steal % | |"
bench_md "| data process RSS at 10 / 50 / 90 % of the job | $(kib_mib rss10_kib) / $(kib_mib rss50_kib) / $(kib_mib rss90_kib) MiB | flat |"
bench_md "| data process peak RSS (VmHWM) | $(kib_mib hwm_kib) MiB | |"
