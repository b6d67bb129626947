# shellcheck shell=bash
# The installed print service and scan daemon at work inside a root, started as their
# systemd units start them, against emulated devices that run outside the root on
# loopback addresses (the root shares the machine's network).
# Uses fail() and failures of ../common.sh and root_pids, stop_pids, in_root of root.sh.

PRINTER_ADDRESS=127.0.0.211
SCANNER_ADDRESS=127.0.0.212
QUEUE=ovra-office
helper_pids=()   # the emulators, stopped by stop_helpers

# unit_value ROOT UNIT KEY: the key's value in the installed unit.
unit_value() { sed -n "s/^$3=//p" "$1/lib/systemd/system/$2"; }

# run_unit_program ROOT UNIT [NAME=VALUE...]: the unit's ExecStart inside the root, with
# the unit's Environment= and the given variables.
run_unit_program() {
  local root=$1 unit=$2 environment
  shift 2
  read -ra environment <<<"$(unit_value "$root" "$unit" Environment)"
  # shellcheck disable=SC2046
  in_root "$root" "${environment[@]}" "$@" $(unit_value "$root" "$unit" ExecStart)
}

# stop_unit_program ROOT UNIT PROGRAM: ends the program's processes in the root with the
# unit's stop signal; fails when one had to be killed or was never there.
stop_unit_program() {
  local root=$1 unit=$2 program=$3 signal pids
  signal=$(unit_value "$root" "$unit" KillSignal)
  pids=$(root_pids "$root" "$program")
  [[ -n $pids ]] || return 1
  # shellcheck disable=SC2086
  stop_pids "${signal:-SIGTERM}" $pids
}

# wait_for SECONDS COMMAND...: retries the command every 0.2 s until it succeeds.
wait_for() {
  local tries=$(($1 * 5))
  shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.2; done
  return 1
}

listening() { (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null; }
nonempty() { [[ -s $1 ]]; }
all_nonempty() { local f; for f in "$@"; do [[ -s $f ]] || return 1; done; }
# The kernel keeps 15 characters of a command name: "OvraPrintServic", as `ps -A` shows it.
print_services() { pgrep -x OvraPrintServic | tr '\n' ' ' || true; }
no_print_service() { [[ -z $(print_services) ]]; }

stop_helpers() {
  local pid
  [[ ${#helper_pids[@]} -gt 0 ]] || return 0
  for pid in "${helper_pids[@]}"; do [[ $pid -le 1 ]] || kill "$pid" 2>/dev/null || true; done
  wait "${helper_pids[@]}" 2>/dev/null || true
  helper_pids=()
}

# add_cups_queue ROOT PPD: the network queue in the root's CUPS configuration, as the
# maker's driver would leave it; the files and folders it made are listed in cups_made.
add_cups_queue() {
  local root=$1 ppd=$2 dir
  cups_made=()
  for dir in /etc/cups /etc/cups/ppd; do
    [[ -d $root$dir ]] || { mkdir -m 0755 "$root$dir" && cups_made=("$dir" "${cups_made[@]}"); }
  done
  printf '<Printer %s>\nInfo Ovra MK246\nDeviceURI socket://%s:9100\nState Idle\nAccepting Yes\n</Printer>\n' \
    "$QUEUE" "$PRINTER_ADDRESS" >"$root/etc/cups/printers.conf"
  cp "$ppd" "$root/etc/cups/ppd/$QUEUE.ppd"
  cups_made=("/etc/cups/printers.conf" "/etc/cups/ppd/$QUEUE.ppd" "${cups_made[@]}")
}

remove_cups_queue() {
  local root=$1 path
  for path in "${cups_made[@]}"; do
    if [[ -d $root$path ]]; then rmdir "$root$path"; else rm -f "$root$path"; fi
  done
}

# check_print_service ROOT INSTALL_ROOT PRINTER_EMU PPD STATUS_TOOL WORK: the installed
# print service lists the queue of an Ovra network printer, polls the printer and writes
# its status file, which reads as the printer's state; the unit's stop signal ends it.
check_print_service() {
  local root=$1 install_root=$2 emu=$3 ppd=$4 status_tool=$5 work=$6
  local program="$install_root/bin/OvraPrintService" unit=ovra-k246-printservice.service
  # shellcheck disable=SC2154
  local cfg="$root$install_root/cfg" pid json field failed_before=$failures
  add_cups_queue "$root" "$ppd"
  # The toner level marks the replies as this printer's.
  echo "0 ready toner=37" >"$work/printer.scenario"
  "$emu" --address "$PRINTER_ADDRESS" --product "Ovra MK246" --scenario "$work/printer.scenario" \
    >"$work/printer.log" 2>&1 &
  helper_pids+=($!)
  wait_for 10 nonempty "$work/printer.log" || fail "the network printer emulator did not start: $(cat "$work/printer.log")"

  # The service gives way to an instance anywhere on the machine (it counts `ps -A`).
  no_print_service || echo "waiting for the print services running on this machine to end: $(print_services)"
  if ! wait_for 120 no_print_service; then
    fail "another OvraPrintService runs on this machine ($(print_services)): the service would give way to it"
    remove_cups_queue "$root"
    return
  fi

  # No cupsd runs in the root: CUPS cannot be asked, so the printer once "Ready" is not
  # polled again; the first poll is what this check needs. CUPS_SERVER keeps the service
  # off any scheduler of the machine.
  run_unit_program "$root" "$unit" CUPS_SERVER=/run/cups/cups.sock >"$work/printservice.log" 2>&1 &
  wait_for 30 all_nonempty "$cfg/printerlist.ini" "$cfg/$QUEUE.dat" "$cfg/service.hb" ||
    fail "no printer list, status file or heartbeat in $install_root/cfg after 30 s: $(ls "$cfg" 2>&1)"
  pid=$(root_pids "$root" "$program")
  [[ $(wc -w <<<"$pid") -eq 1 ]] || fail "expected one installed OvraPrintService running in the root, found: ${pid:-none}"

  json=$(OVRA_INSTALL_ROOT="$root$install_root/" "$status_tool" --json 2>&1)
  for field in "\"name\":\"$QUEUE\"" '"connection":"network"' "\"port\":\"$PRINTER_ADDRESS\"" \
               '"hasStatusFile":true' '"statusText":"Ready"' '"toner":37'; do
    grep -qF -- "$field" <<<"$json" || fail "the published state lacks $field: $json"
  done

  stop_unit_program "$root" "$unit" "$program" || fail "the print service did not end on its unit's stop signal"
  remove_cups_queue "$root"
  [[ $failures -eq $failed_before ]] || { echo "--- print service output"; cat "$work/printservice.log"; }
}

# check_scan_daemon ROOT INSTALL_ROOT SCANNER_EMU SCAN_CLIENT WORK: the installed scan
# daemon, started as its unit starts it (in the foreground), serves a scan client in the root that
# fetches a two-page feeder job from an emulated network scanner; every page file is
# deleted after it was read, and the unit's stop signal ends every daemon process.
check_scan_daemon() {
  local root=$1 install_root=$2 emu=$3 client=$4 work=$5
  local program="$install_root/bin/OvraScanDaemon" unit=ovra-k246-scandaemon.service
  local port=$((20000 + RANDOM % 20000)) scratch=/tmp/ovra-scan-client page
  "$emu" --address "$SCANNER_ADDRESS" --pages 2 >"$work/scanner.log" 2>&1 &
  helper_pids+=($!)
  wait_for 10 listening "$SCANNER_ADDRESS" 80 || fail "the network scanner emulator did not start: $(cat "$work/scanner.log")"

  run_unit_program "$root" "$unit" OVRA_SCAN_DAEMON_PORT=$port >"$work/scandaemon.log" 2>&1 &
  helper_pids+=($!)
  wait_for 10 listening 127.0.0.1 "$port" || fail "the scan daemon does not serve 127.0.0.1:$port: $(cat "$work/scandaemon.log")"

  # The client is no part of the package: a copy of it runs in the root, where the
  # page files the daemon names are.
  mkdir -p "$root$scratch"
  cp "$client" "$root$scratch/ovra-scan"
  in_root "$root" OVRA_SCAN_DAEMON_PORT=$port "$scratch/ovra-scan" --device "net:$SCANNER_ADDRESS" \
    --source adf-multi --resolution 300 --out "$scratch/pages" --timeout 60 >"$work/scan.log" 2>&1 ||
    fail "the scan failed: $(cat "$work/scan.log") $(cat "$root$install_root/scan/ovra_scan_err.log" 2>&1)"
  for page in page-001.jpg page-002.jpg; do
    [[ $(head -c 2 "$root$scratch/pages/$page" 2>/dev/null | od -An -tx1 | tr -d ' ') == ffd8 ]] ||
      fail "$page is missing or not a JPEG image"
  done
  [[ ! -e $root$scratch/pages/page-003.jpg ]] || fail "more pages than the scanner's two"
  [[ -z $(find "$root$install_root/scan" -name '*.tmp') ]] || fail "page files are left in scan/"
  [[ -s $root$install_root/scan/ovra_scan_info.log ]] || fail "the scan daemon wrote no info log"
  rm -rf "${root:?}$scratch"

  stop_unit_program "$root" "$unit" "$program" || fail "the scan daemon did not end on its unit's stop signal"
}
