# Counting what a program and everything it starts does, with perf stat (sourced).
# The program runs under "perf stat -I 1000" from its start, so the counts include its
# threads and child processes (the commands it runs) and their CPU time once they end:
#   task-clock                         CPU time
#   task:task_newtask with CLONE_THREAD threads started
#   task:task_newtask                  tasks started (processes = tasks - threads)
#   sched:sched_process_exec           programs executed
# Without a working perf (or with OVRA_BENCH_NO_PERF=1) the figures come from /proc
# instead: CPU of the program and of its waited-for children, and the machine-wide fork
# counter (others' work included).
# shellcheck shell=bash

perfcount_works() {
  [[ ${OVRA_BENCH_NO_PERF:-0} != 1 ]] &&
    perf stat -x, -e task-clock -e task:task_newtask --filter 'clone_flags & 65536' -e sched:sched_process_exec \
      true >/dev/null 2>&1
}

# perfcount_wrapper OUTPUT_FILE: sets the array perfcount_cmd, the words to put in front
# of a command.
# shellcheck disable=SC2034  # perfcount_cmd is for the caller
perfcount_wrapper() {
  perfcount_cmd=(perf stat -I 1000 '-x,' -o "$1" -e task-clock -e task:task_newtask --filter 'clone_flags & 65536'
    -e task:task_newtask -e sched:sched_process_exec --)
}

# perfcount_window FILE FROM TO: sums over the 1-second intervals that end in (FROM, TO]
# seconds after the start: "span_s=.. cpu_s=.. tasks=.. threads=.. execs=..".
perfcount_window() {
  awk -F, -v from="$2" -v to="$3" '
    /^#/ || NF < 4 { next }
    { t = $1 + 0 }
    t <= from || t > to { next }
    $4 == "task-clock" { cpu += $2 / 1000; span++; next }
    $4 == "task:task_newtask" { if (seen[t]++ == 0) threads += $2; else tasks += $2; next }
    $4 == "sched:sched_process_exec" { execs += $2 }
    END { printf "span_s=%d cpu_s=%.3f tasks=%d threads=%d execs=%d\n", span, cpu, tasks, threads, execs }' "$1"
}

# proc_cpu_ticks PID: utime + stime of the process and of its waited-for children.
proc_cpu_ticks() {
  awk '{ sub(/.*\) /, ""); print $12 + $13 + $14 + $15 }' "/proc/$1/stat"
}
