#!/bin/sh
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer throughout, and runs each for SECONDS (default
# 30), starting from its corpus in fuzz/corpus/<name>.  Inputs that reach
# new code are kept in build/fuzz/corpus/<name>; an input that crashes,
# leaks, runs longer than 10 s or allocates more than 512 MB at once is
# saved in build/fuzz/findings and fails the run.
# Usage: scripts/fuzz.sh [SECONDS] [NAME...]   (names: firmware_check
#        jpeg_page tiff_page picture_header settings; default all)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-30}
[ $# -gt 0 ] && shift
names=${*:-firmware_check jpeg_page tiff_page picture_header settings}
build=build/fuzz

targets=""
for name in $names; do targets="$targets fuzz_$name"; done
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZQ_FUZZ=ON -DZQ_BUILD_TESTS=OFF -DZQ_BUILD_BENCH=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" --target $targets

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
mkdir -p "$build/findings"
status=0
for name in $names; do
  corpus=$build/corpus/$name
  log=$build/fuzz_$name.log
  mkdir -p "$corpus"
  if "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -malloc_limit_mb=512 -print_final_stats=1 -artifact_prefix="$build/findings/$name-" \
      "$corpus" "fuzz/corpus/$name" >"$log" 2>&1; then
    result=clean
  else
    result="FINDING (see $log and $build/findings)"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
  echo "fuzz_$name: ${runs:-?} runs in ${seconds} s, peak ${rss:-?} MB, $result"
done
exit $status
