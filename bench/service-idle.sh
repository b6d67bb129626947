#!/usr/bin/env bash
# Idle cost of the always-running programs: the print service with N emulated printers
# (N/2 USB, the rest network; a private cupsd with one queue each, all "Ready", CUPS
# idle) and the tray monitor (offscreen, hidden) reading the files the service writes.
# For every N of the list, after a warm-up, over a window of SECONDS:
#   CPU seconds per minute of each program and of everything it starts, processes and
#   threads started per minute, programs executed per minute (perf stat from the
#   program's start, see lib/perfcount.sh), resident memory (VmRSS, VmHWM), cupsd's CPU
#   per minute (answering the service's questions), and the files written into cfg/ per
#   minute by kind (inotify: status files, printer list, heartbeat, command scratch files).
# With --history COUNT, CUPS first finishes COUNT jobs spread over the queues, so its job
# history is that long while the service runs (500 is CUPS's default limit).
# Prints one markdown table, a column per N and the increase per added printer.
#   bench/service-idle.sh [--printers 1,8,32] [--seconds 60] [--warmup 20] [--history 0] [--build DIR]
#   bench/service-idle.sh N [SECONDS] [BUILD_DIR]      (one printer count)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/benchlib.sh"
. "$here/lib/perfcount.sh"

printers=1,8,32
seconds=60
warmup=20
history=0
build=""
if [[ ${1:-} =~ ^[0-9]+$ ]]; then
  printers=$1 seconds=${2:-$seconds} build=${3:-}
  set --
fi
bench_options "$0 [--printers 1,8,32] [--seconds 60] [--warmup 20] [--history 0] [--build DIR]" printers seconds warmup \
  history build -- "$@"
bench_init idle "$build"
results="$work/results"
mkdir -p "$results"
use_perf=0
perfcount_works && use_perf=1

# start_counted NAME LABEL STARTER: starts the program through STARTER (under perf when
# it works) and sets <LABEL>_pid (the program), <LABEL>_wrapper (what was started) and
# <LABEL>_start (epoch seconds).
start_counted() {
  local name=$1 label=$2 starter=$3 pid
  if [[ $use_perf -eq 1 ]]; then
    perfcount_wrapper "$work/$label.perf"
    "$starter" "${perfcount_cmd[@]}"
  else
    "$starter"
  fi
  printf -v "${label}_start" '%s' "$(date +%s.%N)"
  printf -v "${label}_wrapper" '%s' "$bench_pid"
  bench_wait_for 10 bench_program_pid "$bench_pid" "$name" >/dev/null || return 1
  pid=$(bench_program_pid "$bench_pid" "$name")
  printf -v "${label}_pid" '%s' "$pid"
  # A second instance ends at once (others' tests may run one).
  sleep 1.5
  kill -0 "$pid" 2>/dev/null
}

# window_begin LABEL: what the counts over the window start from.
window_begin() {
  local pid_var="${1}_pid"
  printf -v "${1}_ticks0" '%s' "$(proc_cpu_ticks "${!pid_var}")"
  printf -v "${1}_forks0" '%s' "$(awk '/^processes/ {print $2}' /proc/stat)"
}

# proc_counts LABEL: the counts over the window from /proc, taken at its end.
proc_counts() {
  local pid_var="${1}_pid" ticks_var="${1}_ticks0" forks_var="${1}_forks0"
  echo "span_s=$seconds cpu_s=$(bench_calc "($(proc_cpu_ticks "${!pid_var}") - ${!ticks_var}) / $(getconf CLK_TCK)" "%.3f")" \
    "tasks=$(($(awk '/^processes/ {print $2}' /proc/stat) - ${!forks_var}))"
}

# perf_counts LABEL WINDOW_START: the counts over the window from perf's intervals.
perf_counts() {
  local start_var="${1}_start" from
  from=$(bench_calc "$2 - ${!start_var}" "%.3f")
  perfcount_window "$work/$1.perf" "$from" "$(bench_calc "$from + $seconds" "%.3f")"
}

memory() { # PID: "rss_kib=.. hwm_kib=.."
  echo "rss_kib=$(awk '/^VmRSS/ {print $2}' "/proc/$1/status") hwm_kib=$(awk '/^VmHWM/ {print $2}' "/proc/$1/status")"
}

# One N: everything started in a subshell of its own and stopped at its end. The
# <label>_pid and <label>_wrapper variables are set by start_counted.
# shellcheck disable=SC2154
idle_run() (
  local n=$1 root window_start cupsd0 cupsd1 label
  bench_init "idle$n" "$build"
  bench_private_cups
  bench_usb_bus
  bench_printers "$n" ready
  bench_job_history "$history" "$n" || exit 1
  root="$work/root"
  export OVRA_INSTALL_ROOT="$root"
  bench_wait_alone OvraPrintService 300 || { echo "another print service keeps running" >&2; exit 1; }
  start_counted OvraPrintService service bench_service || { echo "the print service did not stay up" >&2; exit 1; }
  bench_wait_for 30 test -e "$root/cfg/printerlist.ini" || { echo "no printer list" >&2; exit 1; }
  bench_wait_alone OvraPrinterTool 300 || { echo "another tray monitor keeps running" >&2; exit 1; }
  start_counted OvraPrinterTool tray bench_tray || { echo "the tray monitor did not stay up" >&2; exit 1; }
  sleep "$warmup"

  window_start=$(date +%s.%N)
  window_begin service
  window_begin tray
  cupsd0=$(proc_cpu_ticks "$bench_cupsd_pid")
  "$build/bench/tools/ovra-bench-cfgwatch" "$root/cfg" "$seconds" >"$work/cfg.kv"
  cupsd1=$(proc_cpu_ticks "$bench_cupsd_pid")
  for label in service tray; do
    pid_var="${label}_pid"
    echo "$label $(memory "${!pid_var}") $([[ $use_perf -eq 1 ]] || proc_counts "$label")"
  done >"$work/window.kv"
  echo "cupsd span_s=$seconds cpu_s=$(bench_calc "($cupsd1 - $cupsd0) / $(getconf CLK_TCK)" "%.3f")" >>"$work/window.kv"
  echo "cfg $(cat "$work/cfg.kv")" >>"$work/window.kv"
  # A stopped program ends its perf stat, which then writes its last intervals.
  kill "$service_pid" "$tray_pid" 2>/dev/null || true
  bench_wait_for 10 bench_ended "$service_wrapper" || true
  bench_wait_for 10 bench_ended "$tray_wrapper" || true
  while read -r label rest; do
    [[ $use_perf -eq 1 && ($label == service || $label == tray) ]] && rest+=" $(perf_counts "$label" "$window_start")"
    echo "$label $rest"
  done <"$work/window.kv" >"$results/$n.kv"
)

# per_minute N WHAT KEY [FORMAT]: KEY of line WHAT scaled to one minute of its span.
per_minute() {
  local line v
  line=$(grep "^$2 " "$results/$1.kv") || { echo "n/a"; return; }
  v=$(bench_kv "$line" "$3")
  [[ -n $v ]] || { echo "n/a"; return; }
  bench_calc "$v * 60 / $(bench_kv "$line" span_s)" "${4:-%.1f}"
}

value() { # N WHAT KEY [SCALE] [FORMAT]
  local line
  line=$(grep "^$2 " "$results/$1.kv") || { echo "n/a"; return; }
  bench_calc "$(bench_kv "$line" "$3") * ${4:-1}" "${5:-%.1f}"
}

processes_per_minute() { # N WHAT
  local line
  line=$(grep "^$2 " "$results/$1.kv") || { echo "n/a"; return; }
  bench_calc "($(bench_kv "$line" tasks) - 0$(bench_kv "$line" threads)) * 60 / $(bench_kv "$line" span_s)" "%.0f"
}

per_printer_total() { # N: the CPU of the service and cupsd together, per printer
  local service cupsd
  service=$(per_minute "$1" service cpu_s "%.4f")
  cupsd=$(per_minute "$1" cupsd cpu_s "%.4f")
  [[ $service != n/a && $cupsd != n/a ]] || { echo "n/a"; return; }
  bench_calc "($service + $cupsd) / $1" "%.3f"
}

cfg_per_minute() { # N KIND
  local line
  line=$(grep "^cfg " "$results/$1.kv") || { echo "n/a"; return; }
  bench_calc "$(bench_kv "$line" "$2_writes") * 60 / $(bench_kv "$line" seconds)" "%.1f"
}

IFS=, read -ra counts_list <<<"$printers"
load_before=$(bench_loadavg)
for n in "${counts_list[@]}"; do
  echo "idle: $n printer(s), ${warmup} s warm-up, ${seconds} s window..." >&2
  idle_run "$n" || echo "idle: the run with $n printer(s) failed" >&2
done
load_after=$(bench_loadavg)

# row LABEL FUNCTION ARGS...: one table row, a column per N, and the growth per added
# printer between each two neighbouring columns.
row() {
  local label=$1 fn=$2 cells="" growth="" previous="" previous_n="" v
  shift 2
  for n in "${counts_list[@]}"; do
    v=$("$fn" "$n" "$@")
    cells+=" $v |"
    if [[ -n $previous && $previous != n/a && $v != n/a ]]; then
      growth+="${growth:+ / }$(bench_calc "($v - $previous) / ($n - $previous_n)" "%.2f")"
    fi
    previous=$v
    previous_n=$n
  done
  bench_md "| $label |$cells ${growth:--} |"
}

method="perf stat from the program's start (its threads and children included)"
[[ $use_perf -eq 1 ]] || method="/proc (waited-for children only; processes = machine-wide forks, others' included)"
steps=""
for ((i = 1; i < ${#counts_list[@]}; i++)); do steps+="${steps:+ / }${counts_list[i - 1]}→${counts_list[i]}"; done
header="| idle, per minute | $(printf '%s printer(s) | ' "${counts_list[@]}")per added printer${steps:+ ($steps)} |"
bench_md ""
bench_md "Idle cost, ${seconds} s window after ${warmup} s warm-up, $history finished jobs in CUPS's history; counted by $method; load average $load_before → $load_after"
bench_md ""
bench_md "$header"
bench_md "|---|$(printf -- '---|%.0s' "${counts_list[@]}")---|"
row "service CPU s/min" per_minute service cpu_s "%.2f"
row "service processes started /min" processes_per_minute service
row "service programs executed /min" per_minute service execs "%.0f"
row "service threads started /min" per_minute service threads "%.0f"
row "service RSS MiB (VmRSS)" value service rss_kib "1/1024"
row "service peak RSS MiB (VmHWM)" value service hwm_kib "1/1024"
row "cupsd CPU s/min" per_minute cupsd cpu_s "%.2f"
row "service + cupsd CPU s/min per printer" per_printer_total
row "tray CPU s/min" per_minute tray cpu_s "%.2f"
row "tray processes started /min" processes_per_minute tray
row "tray threads started /min" per_minute tray threads "%.0f"
row "tray RSS MiB (VmRSS)" value tray rss_kib "1/1024"
row "cfg/ status file writes /min" cfg_per_minute status
row "cfg/ printer list writes /min" cfg_per_minute list
row "cfg/ heartbeat writes /min" cfg_per_minute heartbeat
row "cfg/ command scratch file writes /min" cfg_per_minute scratch
row "cfg/ other writes /min" cfg_per_minute other
