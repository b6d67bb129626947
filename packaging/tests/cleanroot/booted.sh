# shellcheck shell=bash
# The installed package under a real systemd: the root booted with systemd-nspawn (no
# registration with a machine manager, so no system bus is needed on the machine; the
# container stays in the test's own unit), commands run inside with nsenter. The
# container shares the machine's network: the emulators run outside on loopback.
# Uses fail(), wait_for, listening of programs.sh, stop_pids of root.sh.

CONTAINER_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
nspawn_pid="" container_init=""

# cannot_boot_reason: why a container cannot be booted here (nothing when it can).
cannot_boot_reason() {
  command -v systemd-nspawn >/dev/null || { echo "systemd-nspawn is not installed (Debian systemd-container)"; return; }
  command -v nsenter >/dev/null || { echo "nsenter is not installed (Debian util-linux)"; return; }
  [[ -d /sys/fs/cgroup ]] || echo "no cgroup file system on this machine"
}

in_container() {
  nsenter -t "$container_init" -m -u -i -p -C -r -w env -i PATH="$CONTAINER_PATH" HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive SYSTEMD_PAGER= SYSTEMD_COLORS=0 "$@"
}

# The container's init is the child of systemd-nspawn that is process 1 of a PID namespace
# of its own ("NSpid: <pid> 1"); the child that sets the container up comes and goes first.
container_init_known() {
  local child
  container_init=""
  for child in $(pgrep -P "$nspawn_pid"); do
    if [[ $(awk '$1 == "NSpid:" { print (NF > 2 ? $NF : "") }' "/proc/$child/status" 2>/dev/null) == 1 ]]; then
      container_init=$child
      return 0
    fi
  done
  return 1
}

system_started() {
  local state
  state=$(in_container systemctl is-system-running 2>/dev/null) || true
  [[ $state == running || $state == degraded ]]
}

# boot_root ROOT LOG: the root's systemd booted in a container, until its boot is done.
boot_root() {
  systemd-nspawn -D "$1" -b --register=no --keep-unit --console=passive --quiet >"$2" 2>&1 &
  nspawn_pid=$!
  wait_for 30 container_init_known && wait_for 120 system_started && return 0
  echo "container init: ${container_init:-none}; system: $(in_container systemctl is-system-running 2>&1)" >>"$2"
  [[ -z $container_init ]] || in_container systemctl list-jobs --no-pager >>"$2" 2>&1
  return 1
}

# shutdown_root: powers the container off; kills it when it has not ended after 30 s.
shutdown_root() {
  [[ -n $nspawn_pid ]] || return 0
  if kill -0 "$nspawn_pid" 2>/dev/null; then
    [[ -n $container_init ]] || container_init_known || true
    [[ -z $container_init || $container_init -le 1 ]] || kill -RTMIN+4 "$container_init" 2>/dev/null || true
    for _ in $(seq 150); do kill -0 "$nspawn_pid" 2>/dev/null || break; sleep 0.2; done
    if kill -0 "$nspawn_pid" 2>/dev/null; then
      echo "the container did not power off: killed" >&2
      [[ -z $container_init || $container_init -le 1 ]] || kill -KILL "$container_init" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$nspawn_pid" 2>/dev/null || break; sleep 0.2; done
      kill -KILL "$nspawn_pid" 2>/dev/null || true
    fi
  fi
  wait "$nspawn_pid" 2>/dev/null || true
  nspawn_pid="" container_init=""
}

unit_prop() { in_container systemctl show -P "$2" "$1" 2>/dev/null; }
unit_active() { [[ $(unit_prop "$1" ActiveState) == active ]]; }
# The processes in the unit's control group (none once it is stopped).
unit_processes() {
  local group
  group=$(unit_prop "$1" ControlGroup)
  [[ -z $group ]] || in_container cat "/sys/fs/cgroup$group/cgroup.procs" 2>/dev/null | tr '\n' ' ' || true
}
journal() { in_container journalctl -q -o cat -u "$1" 2>&1; }
unit_empty() { [[ -z $(unit_processes "$1") ]]; }
restarted() { [[ $(unit_prop "$1" NRestarts) -ge 1 ]] && unit_active "$1"; }
program_processes() { in_container pgrep -f "$1" 2>/dev/null | tr '\n' ' ' || true; }
no_program() { [[ -z $(program_processes "$1") ]]; }

# check_booted ROOT DEB INSTALL_ROOT PRINTER_EMU SCANNER_EMU SCAN_CLIENT PPD WORK: in the
# booted root, apt installs the package, which starts both units; the print service
# writes the status files of an emulated network printer; a scan runs through the
# daemon; both units say in the journal that they started; `systemctl stop` leaves no
# process; a daemon killed with SIGSEGV fails its unit and comes back; the purge leaves
# nothing running.
check_booted() {
  local root=$1 deb=$2 install_root=$3 printer_emu=$4 scanner_emu=$5 client=$6 ppd=$7 work=$8
  local p=ovra-k246-printservice.service s=ovra-k246-scandaemon.service unit pid
  local port=$((20000 + RANDOM % 20000)) scratch=/srv/ovra-test cfg="$root$install_root/cfg"

  # The emulated devices, a CUPS queue for the network printer; the scan daemon on a
  # port of its own and the print service off any scheduler of the machine (a drop-in
  # each, removed again before the purge).
  add_cups_queue "$root" "$ppd"
  echo "0 ready toner=37" >"$work/printer.scenario"
  "$printer_emu" --address "$PRINTER_ADDRESS" --product "Ovra MK246" --scenario "$work/printer.scenario" \
    >"$work/printer.log" 2>&1 &
  helper_pids+=($!)
  "$scanner_emu" --address "$SCANNER_ADDRESS" --pages 2 >"$work/scanner.log" 2>&1 &
  helper_pids+=($!)
  wait_for 10 listening "$SCANNER_ADDRESS" 80 || fail "the network scanner emulator did not start: $(cat "$work/scanner.log")"
  mkdir -p "$root/etc/systemd/system/$s.d" "$root/etc/systemd/system/$p.d"
  printf '[Service]\nEnvironment=OVRA_SCAN_DAEMON_PORT=%s\n' "$port" >"$root/etc/systemd/system/$s.d/test.conf"
  printf '[Service]\nEnvironment=CUPS_SERVER=/run/cups/cups.sock\n' >"$root/etc/systemd/system/$p.d/test.conf"
  mkdir -p "$root$scratch"
  install -m 0644 "$deb" "$root$scratch/"
  cp "$client" "$root$scratch/ovra-scan"
  # Units start as in any installation on a running system.
  rm -f "$root/usr/sbin/policy-rc.d"

  boot_root "$root" "$work/nspawn.log" || { fail "the root did not boot: $(tail -20 "$work/nspawn.log")"; return; }
  echo "booted: $(in_container systemctl is-system-running 2>&1)"
  in_container apt-get install -y -q --no-install-recommends "$scratch/$(basename "$deb")" >"$work/boot-install.log" 2>&1 ||
    { fail "apt-get install in the booted root failed: $(tail -20 "$work/boot-install.log")"; return; }
  for unit in $p $s; do
    wait_for 20 unit_active "$unit" || fail "$unit is not active after the installation: $(in_container systemctl status --no-pager "$unit" 2>&1)"
  done
  [[ $(unit_prop $s MainPID) -gt 1 ]] || fail "systemd does not know the scan daemon's main process"

  wait_for 30 all_nonempty "$cfg/printerlist.ini" "$cfg/$QUEUE.dat" "$cfg/service.hb" ||
    fail "the print service under systemd wrote no printer list, status file or heartbeat: $(ls "$cfg" 2>&1)"
  in_container OVRA_SCAN_DAEMON_PORT="$port" "$scratch/ovra-scan" --device "net:$SCANNER_ADDRESS" --source adf-multi --resolution 300 \
    --out "$scratch/pages" --timeout 60 >"$work/boot-scan.log" 2>&1 ||
    fail "the scan through the daemon under systemd failed: $(cat "$work/boot-scan.log")"
  [[ -s $root$scratch/pages/page-002.jpg ]] || fail "the scan under systemd gave no second page"

  grep -qx "listening on 127.0.0.1:$port" <<<"$(journal $s)" || fail "the daemon's start is not in the journal: $(journal $s)"
  grep -q "^started, install root $install_root/$" <<<"$(journal $p)" || fail "the service's start is not in the journal: $(journal $p)"
  grep -q "^printer found: $QUEUE " <<<"$(journal $p)" || fail "the printer found is not in the journal: $(journal $p)"

  # A crash of the listener fails the unit, and systemd starts it again.
  pid=$(unit_prop $s MainPID)
  in_container kill -SEGV "$pid"
  wait_for 20 restarted $s || fail "the killed scan daemon did not come back: $(in_container systemctl status --no-pager $s 2>&1)"
  wait_for 10 listening 127.0.0.1 "$port" || fail "the restarted daemon does not serve port $port"
  grep -q "status=11/SEGV\|signal=SEGV\|dumped core" <<<"$(in_container journalctl -q -o cat -u $s 2>&1)" ||
    fail "the journal does not tell of the crash: $(journal $s)"

  in_container systemctl stop $p $s
  for unit in $p $s; do
    wait_for 10 unit_empty "$unit" || fail "processes of $unit remain after systemctl stop: $(unit_processes "$unit")"
    [[ $(unit_prop "$unit" Result) == success ]] || fail "$unit's stop counts as $(unit_prop "$unit" Result)"
  done
  grep -qx "stopped" <<<"$(journal $s)" || fail "the daemon's stop is not in the journal: $(journal $s)"
  grep -qx "stopped (SIGTERM)" <<<"$(journal $p)" || fail "the service's stop is not in the journal: $(journal $p)"

  in_container systemctl start $p $s
  for unit in $p $s; do wait_for 20 unit_active "$unit" || fail "$unit does not start again"; done
  rm -rf "${root:?}/etc/systemd/system/$s.d" "${root:?}/etc/systemd/system/$p.d" "${root:?}$scratch"
  in_container apt-get purge -y -q "$PACKAGE" >"$work/boot-purge.log" 2>&1 ||
    fail "apt-get purge in the booted root failed: $(tail -20 "$work/boot-purge.log")"
  wait_for 10 no_program "$install_root/bin/" || fail "processes still run after the purge: $(program_processes "$install_root/bin/")"
  shutdown_root
  remove_cups_queue "$root"
}
