#!/usr/bin/env bash
# The scan daemon behaves as its unit tells systemd (Type=forking, no pid file,
# KillSignal=SIGQUIT): the started process exits with 0 once the daemon is detached, one
# daemon process remains and serves its port, and SIGQUIT ends it.
#   check-scandaemon-service.sh SCAN_DAEMON_PROGRAM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
program=$(readlink -f "$1")
work=$(mktemp -d /tmp/ovra-scand-test.XXXXXX)
daemon=""
cleanup() {
  if [[ -n $daemon && $daemon -gt 1 ]] && kill -0 "$daemon" 2>/dev/null; then kill -KILL "$daemon" 2>/dev/null || true; fi
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
finish
