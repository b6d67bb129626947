#!/usr/bin/env bash
# The scan daemon behaves as its unit tells systemd (Type=notify in the foreground,
# KillSignal=SIGQUIT): the started process stays, tells the notification socket READY=1
# once its port accepts clients, writes its start and stop to standard error (not to its
# logs) and ends with 0 on SIGQUIT; a port taken fails the start with the reason. Started
# without the foreground mode, it still detaches: the started process exits with 0, one
# daemon process remains and serves its port, and SIGQUIT ends it.
#   check-scandaemon-service.sh SCAN_DAEMON_PROGRAM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
program=$(readlink -f "$1")
work=$(mktemp -d /tmp/ovra-scand-test.XXXXXX)
daemon="" helpers=()
cleanup() {
  if [[ -n $daemon && $daemon -gt 1 ]] && kill -0 "$daemon" 2>/dev/null; then kill -KILL "$daemon" 2>/dev/null || true; fi
  [[ ${#helpers[@]} -eq 0 ]] || { kill -KILL "${helpers[@]}"; wait "${helpers[@]}"; } 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/root/scan"
port=$((20000 + RANDOM % 20000))

# The daemons started from this program with this test's install root.
ours() {
  local dir pid
  for dir in /proc/[0-9]*; do
    pid=${dir#/proc/}
    [[ $(readlink "$dir/exe" 2>/dev/null) == "$program" ]] || continue
    tr '\0' '\n' <"$dir/environ" 2>/dev/null | grep -qxF "OVRA_INSTALL_ROOT=$work/root/" && echo "$pid"
  done
  return 0
}

start=$SECONDS
OVRA_INSTALL_ROOT="$work/root/" OVRA_SCAN_DAEMON_PORT=$port timeout 10 "$program" >/dev/null 2>&1 && rc=0 || rc=$?
[[ $rc -eq 0 ]] || fail "the started process exited with $rc"
[[ $((SECONDS - start)) -le 5 ]] || fail "the started process took $((SECONDS - start)) s to return"

for _ in $(seq 50); do
  pids=$(ours)
  [[ $(wc -w <<<"$pids") -eq 1 ]] && (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done
pids=$(ours)
[[ $(wc -w <<<"$pids") -eq 1 ]] || { fail "expected one daemon process, found: ${pids:-none}"; finish; }
daemon=$pids
[[ $(awk '{ print $4 }' "/proc/$daemon/stat") -ne $$ ]] || fail "the daemon is still a child of its starter"
[[ $(awk '{ print $6 }' "/proc/$daemon/stat") -ne $$ ]] || fail "the daemon has not called setsid"
(exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || fail "the daemon does not serve port $port"

[[ $daemon -gt 1 ]] && kill -QUIT "$daemon"
for _ in $(seq 50); do kill -0 "$daemon" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$daemon" 2>/dev/null && [[ $(awk '{ print $3 }' "/proc/$daemon/stat") != Z ]]; then
  fail "the daemon still runs 5 s after SIGQUIT"
else
  daemon=""
fi
[[ -z $(ours) ]] || fail "daemon processes remain after SIGQUIT: $(ours)"

# In the foreground, as the unit runs it.
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }
run_foreground() {   # the daemon with this test's root and port, in the foreground, in place of the shell
  OVRA_INSTALL_ROOT="$work/root/" OVRA_SCAN_DAEMON_PORT=$port OVRA_SCAN_DAEMON_FOREGROUND=1 exec "$@" "$program"
}
notify="$work/notify"
socat -u "UNIX-RECV:$notify" "CREATE:$work/notified" &
helpers+=($!)
for _ in $(seq 50); do [[ -S $notify ]] && break; sleep 0.1; done
[[ -S $notify ]] || fail "no notification socket"
run_foreground env NOTIFY_SOCKET="$notify" 2>"$work/stderr" >"$work/stdout" &
foreground=$!
helpers+=("$foreground")
for _ in $(seq 50); do grep -q READY=1 "$work/notified" 2>/dev/null && break; sleep 0.1; done
grep -qx READY=1 "$work/notified" 2>/dev/null || fail "the daemon did not tell systemd READY=1: $(cat "$work/notified" 2>&1)"
listening || fail "READY=1 came, but port $port does not accept clients"
kill -0 "$foreground" 2>/dev/null || fail "the daemon did not stay in the foreground"

# A second daemon cannot bind the port: its start fails, and says why.
(run_foreground timeout 10) 2>"$work/stderr.second" >/dev/null && rc=0 || rc=$?
[[ $rc -ne 0 && $rc -ne 124 ]] || fail "a daemon whose port is taken exited with $rc"
grep -qx "cannot bind on 127.0.0.1:$port: Address already in use" "$work/stderr.second" ||
  fail "a failed start says nothing on standard error: $(cat "$work/stderr.second")"

kill -QUIT "$foreground"
wait "$foreground" && rc=0 || rc=$?
[[ $rc -eq 0 ]] || fail "the foreground daemon ended with $rc on SIGQUIT: a stop would count as a failure"
[[ $(cat "$work/stderr") == "listening on 127.0.0.1:$port"$'\n'"stopped" ]] ||
  fail "standard error of a start and stop: '$(cat "$work/stderr")'"
[[ ! -s $work/stdout ]] || fail "the daemon writes to standard output: $(cat "$work/stdout")"
! grep -qs -e "listening on" -e "^stopped" "$work/root/scan/"*.log || fail "the journal's lines went into the daemon's logs too"
finish
