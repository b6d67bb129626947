#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite (with the fault,
# load, security and clean-root install tests); the fuzz targets for a bounded time, built
# with clang under AddressSanitizer + UndefinedBehaviorSanitizer; the whole suite again
# under AddressSanitizer + UndefinedBehaviorSanitizer; the tests of the support library
# and of the threaded programs (print service, tray monitor) under ThreadSanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# Sanitizer builds: unoptimised (the quickest to build), line tables for the reports.
sanitizer_build=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1)

stage() { echo "== $*"; stage_start=$SECONDS; }
stage_done() { echo "== done in $((SECONDS - stage_start)) s"; }

# ctest in a sanitizer build. A report from a process whose exit status no test looks at
# (a daemon or an emulator a test started and stopped) fails the run too: ctest keeps
# every test's output in LastTest.log.
sanitizer_ctest() {  # BUILD_DIR [CTEST ARGUMENTS...]
  local build=$1 rc=0
  shift
  ctest --test-dir "$build" -j"$jobs" --output-on-failure --test-output-size-passed 4000000 "$@" || rc=$?
  if grep -E 'ERROR: [A-Za-z]+Sanitizer|WARNING: ThreadSanitizer|runtime error:' \
       "$build/Testing/Temporary/LastTest.log"; then
    echo "sanitizer reports above: the whole output is in $build/Testing/Temporary/LastTest.log"
    rc=1
  fi
  return "$rc"
}

stage "whole suite"
"$top/scripts/build.sh" "$top/build"
ctest --test-dir "$top/build" -j"$jobs" --output-on-failure
stage_done

stage "fuzz targets (clang, libFuzzer, ASan + UBSan)"
CC=clang CXX=clang++ cmake -S "$top" -B "$top/build-fuzz" -DOVRA_FUZZ=ON -DOVRA_BUILD_TESTS=OFF >/dev/null
cmake --build "$top/build-fuzz" -j"$jobs" --target ovra_fuzz
ctest --test-dir "$top/build-fuzz" -L fuzz -j"$jobs" --output-on-failure
stage_done

# Left out under the sanitizers, by label:
#   demo       re-runs scripts/build.sh on its build folder, which would rebuild this one
#              without its build type; it starts the same programs as the e2e tests
#   cleanroot  installs the Debian package into a fresh Debian root: packaging, not code
#   bench      measures times
#   load       asserts on the memory a daemon holds, which ASan's quarantine changes
#   packaging  checks the install tree and the package: files, not code (and slow here)
#   desktop    a real X server, window manager and tray host with waits of their own; the
#              tray's code runs under the sanitizers in its offscreen tests
stage "whole suite under ASan + UBSan"
cmake -S "$top" -B "$top/build-asan-all" "${sanitizer_build[@]}" -DOVRA_SANITIZE=ON >/dev/null
cmake --build "$top/build-asan-all" -j"$jobs"
# verify_asan_link_order=0: the USB tests run under umockdev's preload library, which
# comes before the sanitizer runtime. fast_unwind_on_malloc=0: whole stacks through the
# libraries built without frame pointers (Qt, Mesa), which the leak suppressions name.
ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1:fast_unwind_on_malloc=0:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
LSAN_OPTIONS=suppressions=$top/scripts/sanitizers/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  sanitizer_ctest "$top/build-asan-all" -LE '^(demo|cleanroot|bench|load|packaging|desktop)$'
stage_done

# The support library (shared printer list, logging from threads, worker base), the print
# service (device manager and status workers) and the tray monitor (its workers), with the
# emulators and the private cupsd their tests use. OvraPrintSetting is left out: its
# folder holds USB channel tests labelled "library" that start no thread.
stage "library, print service and tray monitor under TSan"
cmake -S "$top" -B "$top/build-tsan" "${sanitizer_build[@]}" -DOVRA_TSAN=ON \
  -DOVRA_SKIP_SUBDIRS=OvraPrintSetting >/dev/null
for dir in printersupport printersupport/tests OvraPrintService OvraPrinterTool; do
  make -C "$top/build-tsan/$dir" -j"$jobs" --no-print-directory
done
# ignore_noninstrumented_modules=1: Qt, glib and umockdev are not built with TSan; what
# they do through intercepted calls (free, memcpy, pthread_cond_*) is synchronised by
# futexes TSan does not see, so their own data would show as racing. Our code is still
# checked wherever it runs. The desktop test is left out as under ASan: its private
# desktop bus is not built here, and the tray's code runs under TSan in its offscreen tests.
TSAN_OPTIONS=second_deadlock_stack=1:ignore_noninstrumented_modules=1 \
  sanitizer_ctest "$top/build-tsan" -L '^(library|service|tray)$' -LE '^(bench|load|desktop)$'
stage_done
