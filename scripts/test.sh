#!/usr/bin/env bash
# Installs what is needed, builds, starts a throwaway PostgreSQL server (scripts/pg-test-server.sh)
# and runs every test with ctest, the records tests once more on that server; then builds once more with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs the suite again. The benchmarks
# (label "bench") are left out: run them with `ctest -L bench` in the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

build=${BUILD_DIR:-$root/build}
BUILD_DIR=$build "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=RelWithDebInfo

# A throwaway PostgreSQL server for the ".pg" cases (the records tests run again on it).
pg_dir=$(mktemp -d /tmp/khgl-pg.XXXXXX)
trap '"$root/scripts/pg-test-server.sh" stop "$pg_dir"' EXIT
KHGL_TEST_PG_URI=$("$root/scripts/pg-test-server.sh" start "$pg_dir")
export KHGL_TEST_PG_URI

(cd "$build" && ctest -LE bench --output-on-failure --parallel "$(nproc)")

if [ "${KHGL_SKIP_SANITIZERS:-0}" != 1 ]; then
  asan=${build}-sanitize
  BUILD_DIR=$asan "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=Debug -DKHGL_SANITIZE=ON \
    -DKHGL_BUILD_BENCH=OFF
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  (cd "$asan" && ctest --output-on-failure --parallel "$(nproc)")
fi
