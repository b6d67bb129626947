# Shared pieces of the benchmark scripts (sourced): the build folder and its programs,
# a work folder that goes away at the end together with every process started through
# bench_start, a private CUPS with emulated printers, and the results as markdown lines.
# shellcheck shell=bash

bench_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# bench_options USAGE NAME... -- ARGS...: "--NAME VALUE" among ARGS sets the variable
# NAME (dashes become underscores: --idle-seconds sets idle_seconds); a NAME ending in
# "!" is a flag: "--NAME" sets it to 1. Anything else prints the usage and exits 2.
bench_options() {
  local usage=$1 names=" " name
  shift
  while [[ $1 != -- ]]; do names+="$1 "; shift; done
  shift
  while [[ $# -gt 0 ]]; do
    name=${1#--}
    if [[ $1 == --* && $names == *" $name! "* ]]; then
      printf -v "${name//-/_}" '%s' 1
      shift
    elif [[ $1 == --* && $# -ge 2 && $names == *" $name "* ]]; then
      printf -v "${name//-/_}" '%s' "$2"
      shift 2
    else
      echo "usage: $usage" >&2
      exit 2
    fi
  done
}

# bench_init TAG [BUILD_DIR]: sets $build, $work and the clean-up at exit.
bench_init() {
  build=${2:-${OVRA_BENCH_BUILD:-$bench_top/build}}
  build=$(cd "$build" && pwd)
  work=$(mktemp -d "/tmp/ovra-bench-$1.XXXXXX")
  bench_pids=()
  bench_cups=""
  bench_memory_dir=""
  trap bench_cleanup EXIT
  trap 'exit 130' INT TERM
}

# bench_children PID: the process's children, one a line.
bench_children() { cat "/proc/$1/task/"*/children 2>/dev/null | tr -s ' ' '\n' | grep . || true; }

# bench_grandchildren PID: the children of its children (the scan daemon's data processes).
bench_grandchildren() {
  local child
  for child in $(bench_children "$1"); do bench_children "$child"; done
}

# Every process started through bench_start ends, and what a wrapper (perf) started under
# it first: a wrapper that is killed leaves its program running.
bench_cleanup() {
  local pid child
  for pid in "${bench_pids[@]}"; do
    [[ $pid -gt 1 ]] || continue
    for child in $(bench_children "$pid"); do
      if [[ $child -gt 1 ]]; then kill "$child" 2>/dev/null || true; fi
    done
    kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  rm -rf "$work"
  [[ -z $bench_memory_dir ]] || rm -rf "$bench_memory_dir"
  # Stopping a cupsd takes seconds: it goes on alone, and its folder goes with it.
  # shellcheck disable=SC2016  # expanded by the inner shell
  [[ -z $bench_cups ]] || setsid bash -c '"$1" stop "$2"; rm -rf "$2"' stop-cups \
    "$bench_top/testharness/cups/ovra-test-cups" "$bench_cups" </dev/null >/dev/null 2>&1 &
}

# bench_memory_folder: a folder in memory (/dev/shm) in $bench_memory_dir, removed at the end.
bench_memory_folder() { bench_memory_dir=$(mktemp -d /dev/shm/ovra-bench.XXXXXX); }

# bench_start CMD...: runs CMD in the background; its pid is in $bench_pid.
bench_start() {
  "$@" &
  bench_pid=$!
  bench_pids+=("$bench_pid")
}

# bench_wait_for SECONDS CMD...: true once CMD succeeds, false after SECONDS.
bench_wait_for() {
  local limit=$((${1} * 10)) i
  shift
  for ((i = 0; i < limit; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# bench_ended PID: true once the process is gone or a zombie.
bench_ended() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
  stat=${stat##*) }
  [[ ${stat%% *} == Z ]]
}

bench_loadavg() { cut -d' ' -f1-3 /proc/loadavg; }

# bench_kv LINE KEY: the value of KEY=VALUE in a line of key=value words.
bench_kv() { tr ' ' '\n' <<<"$1" | sed -n "s/^$2=//p" | head -1; }

# bench_median FILE KEY: the median of KEY over the key=value lines of FILE.
bench_median() {
  tr ' ' '\n' <"$1" | sed -n "s/^$2=//p" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# bench_in_turns REPEAT LABEL A KEY_A B KEY_B: runs the functions A and B in turns,
# REPEAT times each; their key=value lines go to $work/A.kv and $work/B.kv, a line of
# progress with KEY_A and KEY_B to standard error. Each run starts with the page cache
# written back, so that neither pays for the dirty pages of the run before.
bench_in_turns() {
  local i
  : >"$work/$3.kv"
  : >"$work/$5.kv"
  for ((i = 1; i <= $1; i++)); do
    sync
    "$3" >>"$work/$3.kv"
    sync
    "$5" >>"$work/$5.kv"
    echo "$2, run $i: $3 $(bench_kv "$(tail -1 "$work/$3.kv")" "$4") MiB/s," \
      "$5 $(bench_kv "$(tail -1 "$work/$5.kv")" "$6") MiB/s" >&2
  done
}

# bench_md LINE: prints a markdown line and appends it to $OVRA_BENCH_MD when set.
bench_md() {
  printf '%s\n' "$*"
  [[ -z ${OVRA_BENCH_MD:-} ]] || printf '%s\n' "$*" >>"$OVRA_BENCH_MD"
}

# bench_calc EXPRESSION: floating point with awk, e.g. bench_calc "3 / 7 * 100" "%.1f".
bench_calc() { awk "BEGIN { printf \"${2:-%.2f}\", $1 }"; }

# bench_wait_alone NAME SECONDS: waits until no process of that name runs (others'
# tests may run the print service or the tray monitor, which run once per machine).
bench_wait_alone() {
  bench_wait_for "$2" bash -c "! pgrep -x '${1:0:15}' >/dev/null"
}

# bench_private_cups: a private cupsd in a folder of its own; exports CUPS_SERVER and
# CUPS_SERVERROOT. $bench_cupsd_pid is its pid.
# shellcheck disable=SC2034  # bench_cupsd_pid is for the scripts
bench_private_cups() {
  bench_cups=$(mktemp -d "/tmp/ovra-bench-cups.XXXXXX")
  eval "$("$bench_top/testharness/cups/ovra-test-cups" start "$bench_cups")"
  bench_cupsd_pid=$(cat "$bench_cups/run/cupsd.pid")
}

bench_add_queue() { # NAME URI PPD-NAME
  "$bench_top/testharness/cups/ovra-test-cups" add-queue "$bench_cups" "$1" "$2" \
    "$bench_top/testharness/cups/ppd/$3.ppd" >/dev/null
}

# bench_usb_bus: the USB printer emulator; exports UMOCKDEV_DIR, sets $bench_usb_socket.
bench_usb_bus() {
  bench_usb_socket="$work/usb.sock"
  bench_start "$build/emulators/usbprinter/ovra-usbprinter-emu" --socket "$bench_usb_socket" \
    --env-file "$work/usb.env" >/dev/null
  bench_wait_for 10 test -e "$work/usb.env" || { echo "the USB printer emulator did not start" >&2; return 1; }
  # shellcheck disable=SC1091
  . "$work/usb.env"
  export UMOCKDEV_DIR
}

# bench_usb_printer SERIAL: plugs in a printer; echoes its id.
bench_usb_printer() {
  "$build/emulators/usbprinter/ovra-usbprinter-emu" ctl "$bench_usb_socket" add 3a53 0122 "$1" | awk '{print $2}'
}

# bench_printers COUNT STATE: COUNT/2 USB printers and the rest network printers
# (127.0.1.x), all showing STATE and each with its queue bench1..benchCOUNT.
bench_printers() {
  local count=$1 state=$2 usb=$(($1 / 2)) i id
  for ((i = 1; i <= count; i++)); do
    if [[ $i -le $usb ]]; then
      id=$(bench_usb_printer "BENCH$i")
      bench_start "$build/emulators/netprinter/ovra-printer-emu" --usb-socket "$bench_usb_socket" --usb-id "$id" \
        --state "$state" >/dev/null
      bench_add_queue "bench$i" "usb://Ovra/P2200DN?serial=BENCH$i" ovra-p2200dn
    else
      bench_start "$build/emulators/netprinter/ovra-printer-emu" --address "127.0.1.$i" --state "$state" \
        --product "Ovra MK246" >/dev/null
      bench_add_queue "bench$i" "socket://127.0.1.$i:9100" ovra-mk246
    fi
  done
}

# bench_job_history COUNT: COUNT finished jobs in CUPS's history, spread over the queues
# bench1..benchN of bench_printers (the backends complete them at once meanwhile).
bench_job_history() {
  local count=$1 queues=$2 i data="$work/history.job"
  [[ $count -gt 0 ]] || return 0
  echo "history job" >"$data"
  touch "$bench_cups/complete-jobs"
  for ((i = 0; i < count; i++)); do
    "$bench_top/testharness/cups/ovra-test-cups" print "$bench_cups" "bench$((i % queues + 1))" "$data" >/dev/null
  done
  bench_wait_for 600 bench_no_jobs_pending || { echo "the history jobs did not finish" >&2; return 1; }
  rm -f "$bench_cups/complete-jobs"
}

bench_no_jobs_pending() { [[ -z $(lpstat -W not-completed -o 2>/dev/null) ]]; }

# bench_service [WRAPPER...]: the print service on the emulated USB bus, optionally
# under a wrapper (perf stat ...); $bench_pid is the wrapper's or the service's pid.
bench_service() {
  bench_start "$@" env LD_PRELOAD=libumockdev-preload.so.0 UMOCKDEV_DIR="$UMOCKDEV_DIR" \
    "$build/OvraPrintService/OvraPrintService"
}

# bench_tray [WRAPPER...]: the tray monitor, hidden, on the offscreen platform.
bench_tray() {
  bench_start "$@" env QT_QPA_PLATFORM=offscreen "$build/OvraPrinterTool/OvraPrinterTool" -hide
}

# bench_program_pid WRAPPER_PID NAME: the pid of the program NAME started under the
# wrapper (the wrapper's child, or the wrapper itself after an exec).
bench_program_pid() {
  local pid
  for pid in $1 $(bench_children "$1"); do
    # The kernel keeps 15 characters of a command name.
    [[ $(cat "/proc/$pid/comm" 2>/dev/null) == "${2:0:15}" ]] && { echo "$pid"; return 0; }
  done
  return 1
}

# bench_netscanner ADDRESS PAGES PAGE_BYTES: the network scanner emulator with a raw job
# in 64 KiB blocks (needs root: port 80).
bench_netscanner() {
  bench_start "$build/emulators/netscanner/ovra-scanner-emu" --address "$1" --pages "$2" --page-bytes "$3" \
    --block-size 65536 >"$work/scanner-emu.log" 2>&1
  bench_wait_for 10 bash -c "exec 3<>/dev/tcp/$1/80" 2>/dev/null || { echo "the scanner emulator did not start" >&2; return 1; }
}

# bench_scan_daemon PORT [WRAPPER...]: the scan daemon in the foreground on PORT with its
# install root in the work folder, optionally under a wrapper (perf, valgrind, or a
# shell that sets the USB preload); $bench_pid is what was started.
bench_scan_daemon() {
  local port=$1
  shift
  export OVRA_INSTALL_ROOT="$work/root" OVRA_SCAN_DAEMON_PORT=$port OVRA_SCAN_DAEMON_FOREGROUND=1
  mkdir -p "$OVRA_INSTALL_ROOT/scan"
  bench_start "$@" "$build/OvraScanDaemon/OvraScanDaemon" >"$work/daemon.log" 2>&1
  bench_wait_for 30 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null || { echo "the scan daemon did not start" >&2; return 1; }
}
