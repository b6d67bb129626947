#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first the library tests once
# under AddressSanitizer + UndefinedBehaviorSanitizer, then the whole suite.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== library tests under ASan + UBSan"
cmake -S "$top" -B "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DOVRA_SANITIZE=ON >/dev/null
cmake --build "$top/build-asan" -j"$jobs" --target printersupport_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$top/build-asan" -L library -j"$jobs" --output-on-failure

echo "== whole suite"
"$top/scripts/build.sh" "$top/build"
ctest --test-dir "$top/build" -j"$jobs" --output-on-failure
