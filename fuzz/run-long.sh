#!/usr/bin/env bash
# Runs the fuzz targets longer than CTest does, each growing its corpus in the build folder
# (build-fuzz/fuzz/corpus/<target>/; findings in build-fuzz/fuzz/artifacts/<target>/).
#
#   fuzz/run-long.sh [MINUTES] [TARGET...]
#
# MINUTES per target (default 30); all targets when none are named. JOBS targets run at
# once (default 2); BUILD names the build folder (default build-fuzz, configured with
# CC=clang CXX=clang++ cmake -S . -B build-fuzz -DOVRA_FUZZ=ON -DOVRA_BUILD_TESTS=OFF).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-30}
[ $# -gt 0 ] && shift
build=${BUILD:-$top/build-fuzz}
jobs=${JOBS:-2}
cmake --build "$build" -j"$jobs" --target ovra_fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(sed -n 's/^ovra_fuzz_target(\(fuzz_[a-z]*\) .*/\1/p' "$top/fuzz/CMakeLists.txt")
fi

run_one() {
  "$top/fuzz/run-target.sh" "$build/fuzz/$1" $((minutes * 60)) > "$build/fuzz/$1.log" 2>&1 \
    && echo "$1: ok" || echo "$1: FINDING, see $build/fuzz/$1.log and $build/fuzz/artifacts/$1/"
}
export -f run_one
export top build minutes
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one {}'
