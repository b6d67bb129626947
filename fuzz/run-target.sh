#!/usr/bin/env bash
# Runs one fuzz target for a while:   run-target.sh BINARY SECONDS
# BINARY.run (written by CMake) holds the libFuzzer options, a line "--", then the seed
# folders (those that do not exist are skipped). New inputs go to corpus/<target>/ beside
# the binary (kept from run to run), crashes, leaks and time-outs to artifacts/<target>/.
# The target's scratch files live in a temporary folder (in memory where possible) that is
# removed afterwards, also after a crash. The exit status is libFuzzer's: non-zero after
# any finding.
set -euo pipefail
binary=$1 seconds=$2
name=$(basename "$binary")
outdir=$(dirname "$binary")
options=() seeds=()
in_seeds=0
while IFS= read -r line; do
  if [ "$line" = "--" ]; then
    in_seeds=1
  elif [ $in_seeds -eq 0 ]; then
    options+=("$line")
  elif [ -d "$line" ]; then
    seeds+=("$line")
  fi
done < "$binary.run"
corpus=$outdir/corpus/$name
artifacts=$outdir/artifacts/$name
mkdir -p "$corpus" "$artifacts"
scratch_parent=/tmp
[ -w /dev/shm ] && scratch_parent=/dev/shm
TMPDIR=$(mktemp -d "$scratch_parent/ovra-fuzz-run.XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
"$binary" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "${options[@]}" "$corpus" "${seeds[@]}"
