#!/usr/bin/env bash
# Profiles, with text summaries in BUILD/bench/profiles/<what>/:
#   scan  a raw network scan of MB MiB through the scan daemon (as in scan-throughput.sh):
#         perf record of the daemon and its processes (perf-*.txt), callgrind of a job of a
#         quarter of that size (callgrind-data-process.txt), and heaptrack attached to the
#         data process of a job of four times that size (heaptrack-data-process.txt);
#         needs root (port 80)
#   idle  the print service with N emulated printers (as in service-idle.sh) under perf
#         record for SECONDS (perf-*.txt)
# The CPU profiles sample the cpu-clock (this machine has no hardware counters).
#   bench/profile.sh scan|idle [--mb 512] [--printers 8] [--seconds 60] [--build DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/benchlib.sh"

what=${1:-}
[[ $what == scan || $what == idle ]] || { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2; }
shift
mb=512
printers=8
seconds=60
build=""
bench_options "$0 scan|idle [--mb 512] [--printers 8] [--seconds 60] [--build DIR]" mb printers seconds build -- "$@"
bench_init "profile-$what" "$build"
out="$build/bench/profiles/$what"
rm -rf "$out"
mkdir -p "$out"

# perf_summaries DATA [PID]: where the samples fall, by program and library, and the top
# symbols (of process PID, or of all). The recordings stay beside them (perf report -i).
perf_summaries() {
  local filter=()
  [[ -z ${2:-} ]] || filter=(--pid "$2")
  perf report -i "$1" --stdio --no-children --sort comm,dso -g none --percent-limit 0.5 2>/dev/null | grep -v '^$' | sed -n '1,40p' >"$out/perf-by-program.txt"
  perf report -i "$1" --stdio --no-children "${filter[@]}" --percentage relative --sort dso,sym -g none \
    --percent-limit 0.5 2>/dev/null |
    grep -v '^$' | sed -n '1,60p' >"$out/perf-top-symbols.txt"
  perf report -i "$1" --stdio --children "${filter[@]}" --percentage relative --sort sym -g none \
    --percent-limit 2 2>/dev/null |
    grep -v '^$' | sed -n '1,60p' >"$out/perf-inclusive.txt"
}

# stop_wrapped WRAPPER_PID NAME: ends the program under the wrapper and waits for both.
stop_wrapped() {
  local pid
  if pid=$(bench_program_pid "$1" "$2"); then kill "$pid" 2>/dev/null || true; fi
  bench_wait_for 60 bench_ended "$1" || true
}

has_grandchild() { [[ -n $(bench_grandchildren "$1") ]]; }

scan_profile() {
  local address=127.0.0.232 port=27232 line listener data follower
  [[ $(id -u) -eq 0 ]] || { echo "profile scan: needs root (the emulated scanner serves port 80)" >&2; exit 3; }
  command -v perf >/dev/null || { echo "profile scan: needs perf (linux-perf)" >&2; exit 3; }

  echo "perf record of a $mb MiB scan..." >&2
  bench_netscanner "$address" 1 $((mb * 1048576))
  bench_scan_daemon "$port" perf record -g -F 999 -o "$out/scan.perf"
  listener=$(bench_program_pid "$bench_pid" OvraScanDaemon)
  line=$("$build/bench/tools/ovra-bench-scanfollow" net "$address" --port "$port" --listener "$listener" --source adf)
  echo "$line" >"$out/scan-run.txt"
  stop_wrapped "$bench_pid" OvraScanDaemon
  perf_summaries "$out/scan.perf" "$(bench_kv "$line" data_pid)"

  if command -v valgrind >/dev/null; then
    echo "callgrind of a $((mb / 4)) MiB scan..." >&2
    port=$((port + 1))
    bench_netscanner 127.0.0.234 1 $((mb * 1048576 / 4))
    bench_scan_daemon "$port" valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.%p"
    line=$("$build/bench/tools/ovra-bench-scanfollow" net 127.0.0.234 --port "$port" --listener "$bench_pid" \
      --source adf --timeout 300 2>&1 | tail -1) || true
    kill "$bench_pid" 2>/dev/null || true
    bench_wait_for 60 bench_ended "$bench_pid" || true
    data=$(bench_kv "$line" data_pid)
    [[ -e $work/callgrind.$data ]] && callgrind_annotate --inclusive=no "$work/callgrind.$data" 2>/dev/null |
      sed -n '1,60p' >"$out/callgrind-data-process.txt"
    [[ -e $work/callgrind.$data ]] && callgrind_annotate --inclusive=yes "$work/callgrind.$data" 2>/dev/null |
      sed -n '1,60p' >"$out/callgrind-data-process-inclusive.txt"
  fi

  if command -v heaptrack >/dev/null; then
    echo "heaptrack attached to the data process of a $((mb * 4)) MiB scan..." >&2
    port=$((port + 1))
    bench_netscanner 127.0.0.233 4 $((mb * 1048576))
    bench_scan_daemon "$port"
    listener=$bench_pid
    "$build/bench/tools/ovra-bench-scanfollow" net 127.0.0.233 --port "$port" --listener "$listener" \
      --source adf-multi >"$work/heaptrack-run.txt" &
    follower=$!
    bench_wait_for 30 has_grandchild "$listener" || { echo "no data process" >&2; return 1; }
    data=$(bench_grandchildren "$listener" | sed -n 1p)
    heaptrack -o "$work/heaptrack" -p "$data" >"$work/heaptrack.log" 2>&1 || true
    wait "$follower" || true
    cat "$work/heaptrack-run.txt" >>"$out/scan-run.txt"
    heaptrack_print "$work"/heaptrack*.zst 2>/dev/null | tail -n 40 >"$out/heaptrack-data-process.txt" || true
  fi
}

idle_profile() {
  local service
  command -v perf >/dev/null || { echo "profile idle: needs perf (linux-perf)" >&2; exit 3; }
  echo "perf record of the print service with $printers printers for $seconds s..." >&2
  bench_private_cups
  bench_usb_bus
  bench_printers "$printers" ready
  export OVRA_INSTALL_ROOT="$work/root"
  bench_wait_alone OvraPrintService 300 || { echo "another print service keeps running" >&2; exit 1; }
  bench_service perf record -g -F 199 -o "$out/idle.perf"
  bench_wait_for 10 bench_program_pid "$bench_pid" OvraPrintService >/dev/null
  service=$(bench_program_pid "$bench_pid" OvraPrintService)
  sleep "$seconds"
  stop_wrapped "$bench_pid" OvraPrintService
  perf_summaries "$out/idle.perf" "$service"
}

"${what}_profile"
echo "Profiles: $out" >&2
ls "$out" >&2
