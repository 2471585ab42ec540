#!/bin/sh
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer throughout, and runs each for SECONDS (default
# 30), starting from its corpus in fuzz/corpus/<name>.  Inputs that reach
# new code are kept in build/fuzz/corpus/<name>; an input that crashes,
# leaks, runs longer than 10 s or allocates more than 512 MB at once is
# saved in build/fuzz/findings and fails the run.
# Targets that take large inputs (whole camera frames, phone photographs
# of pages) get a larger -max_len, so that their large seeds are fuzzed
# whole; libFuzzer's own default stops at the largest seed or 1 MiB.
# Each run's result line gives its executions, libFuzzer's final coverage
# (cov: edges, ft: features), its peak memory and the verdict.
# Usage: scripts/fuzz.sh [SECONDS] [NAME...]   (names: firmware_check
#        jpeg_page tiff_page picture_header settings settings_file
#        switch_settings camera_frames page_detect text_layer pdf_compose
#        page_turn page_journal zqchip_options chip_answers; default all)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-30}
[ $# -gt 0 ] && shift
names=${*:-firmware_check jpeg_page tiff_page picture_header settings settings_file \
  switch_settings camera_frames page_detect text_layer pdf_compose page_turn page_journal \
  zqchip_options chip_answers}
build=build/fuzz

targets=""
for name in $names; do targets="$targets fuzz_$name"; done
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZQ_FUZZ=ON -DZQ_BUILD_TESTS=OFF -DZQ_BUILD_BENCH=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" --target $targets

export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
mkdir -p "$build/findings"
status=0
for name in $names; do
  corpus=$build/corpus/$name
  log=$build/fuzz_$name.log
  mkdir -p "$corpus"
  case $name in
    jpeg_page | pdf_compose | page_turn) max_len=4194304 ;; # 1-5 MB pages
    camera_frames) max_len=6291456 ;;                       # a 13 MP MJPEG or 1080p YUYV frame
    page_detect) max_len=6815744 ;;                         # a 1920 x 1088 RGB24 frame
    *) max_len=0 ;;                                         # libFuzzer's default
  esac
  # Qt 5's JSON parser leaks an object given a key twice with an array or
  # object as its value; Qt's stacks stop in Qt, so no suppression can
  # tell that leak from another: the journal's target looks for none.
  leaks=1
  [ "$name" = page_journal ] && leaks=0
  if ASAN_OPTIONS=detect_leaks=$leaks:strict_string_checks=1 \
    "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -malloc_limit_mb=512 -max_len="$max_len" -print_final_stats=1 \
      -artifact_prefix="$build/findings/$name-" \
      "$corpus" "fuzz/corpus/$name" >"$log" 2>&1; then
    result=clean
  else
    result="FINDING (see $log and $build/findings)"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
  cov=$(sed -n 's/^#[0-9]*.* cov: \([0-9]*\) ft: \([0-9]*\).*/cov \1, ft \2/p' "$log" | tail -n 1)
  echo "fuzz_$name: ${runs:-?} runs in ${seconds} s, ${cov:-cov ?}, peak ${rss:-?} MB, $result"
done
exit $status
