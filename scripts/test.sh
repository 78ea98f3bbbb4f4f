#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test with ctest; then builds once more with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs the suite again. The benchmarks
# (label "bench") are left out: run them with `ctest -L bench` in the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

build=${BUILD_DIR:-$root/build}
BUILD_DIR=$build "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd "$build" && ctest -LE bench --output-on-failure --parallel "$(nproc)")

if [ "${KHGL_SKIP_SANITIZERS:-0}" != 1 ]; then
  asan=${build}-sanitize
  BUILD_DIR=$asan "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=Debug -DKHGL_SANITIZE=ON \
    -DKHGL_BUILD_BENCH=OFF
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  (cd "$asan" && ctest --output-on-failure --parallel "$(nproc)")
fi
