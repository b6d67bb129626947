#!/usr/bin/env bash
# Status latency: from a state change in an emulated printer to the rewrite of its
# status file by the print service and to the tray monitor showing the new state, over
# CHANGES changes per printer, for a USB printer (ovra-usbprinter-emu, changed through
# its control socket) and a network printer (served by the probe itself). Medians and
# 95th percentiles, next to the bound the polling cadence sets:
#
#   The service polls a printer once per cycle of its worker: the poll, then five job
#   checks, each followed by a wait of period / 10 (USB: period 1500 ms, so 150 ms; a
#   network printer that is neither "Ready" nor "Offline": 1000 ms, so 100 ms). A job
#   check of an idle queue asks CUPS for the queue's jobs once and, while it has none,
#   ten times more 100 ms apart. One cycle therefore lasts
#       USB:      5 × (11 × t_ask + 1000 ms + 150 ms) + t_poll = 5.75 s + 55 × t_ask + t_poll
#       network:  5 × (11 × t_ask + 1000 ms + 100 ms) + t_poll = 5.50 s + 55 × t_ask + t_poll
#   and a change waits up to one cycle for the poll that sees it (half of one on average).
#   The tray monitor reads each status file once a second (by its modification time), so
#   the row follows within one more second. A network printer in "Ready" is not polled
#   while CUPS reports its queue idle: its changes have no bound, which is why the
#   network printer here moves between busy states.
#
# Before each change the probe pauses a random while of up to PAUSE ms, longer than one
# cycle, so that the changes fall on every phase of the polling cycle.
#
#   bench/status-latency.sh [--changes 20] [--pause-ms 12000] [--build DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib/benchlib.sh"

changes=20
pause_ms=12000
build=""
bench_options "$0 [--changes 20] [--pause-ms 12000] [--build DIR]" changes pause-ms build -- "$@"
bench_init latency "$build"

net_address=127.0.2.1
bench_private_cups
bench_usb_bus
usb_id=$(bench_usb_printer LATUSB)
bench_add_queue latusb "usb://Ovra/P2200DN?serial=LATUSB" ovra-p2200dn
bench_add_queue latnet "socket://$net_address:9100" ovra-mk246
root="$work/root"
export OVRA_INSTALL_ROOT="$root"
mkdir -p "$root/cfg" "$root/tool"

bench_start "$build/bench/tools/ovra-bench-statuslatency" --cfg "$root/cfg" --tray-log "$root/tool" \
  --usb-socket "$bench_usb_socket" --usb-printer "$usb_id=latusb" --net-printer "$net_address=latnet" \
  --changes "$changes" --pause-ms "$pause_ms" --csv "$work/changes.csv" >"$work/probe.out"
probe=$bench_pid
bench_wait_for 10 grep -q '^ready' "$work/probe.out" || { echo "the latency probe did not start" >&2; exit 1; }

bench_wait_alone OvraPrintService 300 || { echo "another print service keeps running" >&2; exit 1; }
# shellcheck disable=SC2119  # without a wrapper
bench_service
bench_wait_alone OvraPrinterTool 300 || { echo "another tray monitor keeps running" >&2; exit 1; }
# shellcheck disable=SC2119
OVRA_DEBUG_LOG=1 bench_tray

load_before=$(bench_loadavg)
# The time of one job question as a worker asks it, meanwhile (median of 11).
sleep 5
"$build/bench/tools/ovra-bench-cupsask" latusb 11 >"$work/ask.kv"
ask_ms=$(bench_median "$work/ask.kv" ms)
wait "$probe" || true
load_after=$(bench_loadavg)

# row KIND LABEL CYCLE_BASE_MS: the probe's figures for the printer kind, and the bound.
row() {
  local line cycle seen
  line=$(grep "^kind=$1 " "$work/probe.out") || { bench_md "| $2 | no result | | | |"; return; }
  [[ $(bench_kv "$line" settled) == 1 ]] || { bench_md "| $2 | never showed its first state | | | |"; return; }
  cycle=$(bench_calc "$3 + 55 * $ask_ms" "%.0f")
  seen="$(bench_kv "$line" file_seen)/$(bench_kv "$line" changes)"
  bench_md "| $2: status file | $(bench_kv "$line" file_median_ms) | $(bench_kv "$line" file_p95_ms) | $seen |" \
    "≤ $cycle (median ≈ $((cycle / 2))) |"
  seen="$(bench_kv "$line" tray_seen)/$(bench_kv "$line" changes)"
  bench_md "| $2: tray row | $(bench_kv "$line" tray_median_ms) | $(bench_kv "$line" tray_p95_ms) | $seen |" \
    "≤ $((cycle + 1000)) (median ≈ $((cycle / 2 + 500))) |"
  bench_md "| $2: poll interval (status requests the printer answered) |" \
    "$(bench_calc "$(bench_kv "$line" seconds) * 1000 / ($(bench_kv "$line" polls) + 0.0001)" "%.0f") | | |" \
    "$cycle (one cycle) |"
}

bench_md ""
bench_md "Status latency, $changes changes per printer; one job question to CUPS took $ask_ms ms (t_ask, median);" \
  "load average $load_before → $load_after"
bench_md ""
bench_md "| from a state change to | median ms | p95 ms | seen | bound from the polling cadence, ms |"
bench_md "|---|---|---|---|---|"
row usb "USB printer" 5750
row net "network printer (busy states)" 5500
bench_md "| network printer in \"Ready\", CUPS idle | not polled | | | no bound |"
