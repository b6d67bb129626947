#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite (with the fault,
# load, security and clean-root install tests); the fuzz targets for a bounded time, built
# with clang under AddressSanitizer + UndefinedBehaviorSanitizer; the library tests under
# AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

stage() { echo "== $*"; stage_start=$SECONDS; }
stage_done() { echo "== done in $((SECONDS - stage_start)) s"; }

stage "whole suite"
"$top/scripts/build.sh" "$top/build"
ctest --test-dir "$top/build" -j"$jobs" --output-on-failure
stage_done

stage "fuzz targets (clang, libFuzzer, ASan + UBSan)"
CC=clang CXX=clang++ cmake -S "$top" -B "$top/build-fuzz" -DOVRA_FUZZ=ON -DOVRA_BUILD_TESTS=OFF >/dev/null
cmake --build "$top/build-fuzz" -j"$jobs" --target ovra_fuzz
ctest --test-dir "$top/build-fuzz" -L fuzz -j"$jobs" --output-on-failure
stage_done

stage "library tests under ASan + UBSan"
cmake -S "$top" -B "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DOVRA_SANITIZE=ON >/dev/null
cmake --build "$top/build-asan" -j"$jobs" --target printersupport_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$top/build-asan" -L library -j"$jobs" --output-on-failure
stage_done
