#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang++ and runs each of them.
#   scripts/fuzz.sh --smoke             5,000 inputs per target, a check that each one runs (tests)
#   scripts/fuzz.sh --long SECONDS      SECONDS of fuzzing per target, keeping what it finds
# Optional target names after the mode limit the run (number date query file_name calculator).
# Everything is written under $FUZZ_BUILD_DIR (default build-fuzz/): the build, the growing
# corpus of the long run, and the input of any failure (crash-*, timeout-*).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
all_targets=(number date query file_name calculator)

mode=${1:-}
case "$mode" in
--smoke)
  shift
  ;;
--long)
  seconds=${2:?"--long needs a number of seconds"}
  shift 2
  ;;
*)
  echo "usage: $0 --smoke | --long SECONDS [target...]" >&2
  exit 2
  ;;
esac
targets=("$@")
((${#targets[@]})) || targets=("${all_targets[@]}")

cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --parallel "${FUZZ_JOBS:-2}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# libFuzzer writes new inputs into the first corpus folder: that is always one under $build,
# so the committed seeds in fuzz/corpus/ are only read.
summary=()
status=0
for target in "${targets[@]}"; do
  seeds=$root/fuzz/corpus/$target
  mkdir -p "$build/artifacts"
  if [ "$mode" = --smoke ]; then
    corpus=$build/smoke-corpus/$target
    rm -rf "$corpus"
    limits=(-runs=5000 -max_total_time=10)
  else
    corpus=$build/corpus/$target
    limits=(-max_total_time="$seconds")
  fi
  mkdir -p "$corpus"
  log=$build/$target.log
  echo "== fuzz_$target"
  if "$build/fuzz_$target" "${limits[@]}" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "$corpus" "$seeds" \
    >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
    summary+=("fuzz_$target: ${runs:-?} executions in ${secs:-?} s, corpus $(ls "$corpus" | wc -l) inputs")
  else
    tail -n 40 "$log"
    summary+=("fuzz_$target: FAILED (see $log and $build/artifacts/)")
    status=1
  fi
done
printf '%s\n' "${summary[@]}"
exit $status
