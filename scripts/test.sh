#!/bin/sh
# The whole test run: installs what is missing, then builds and tests twice,
# once with warnings as errors and once under AddressSanitizer and
# UndefinedBehaviorSanitizer (any report fails the run), runs the fuzz
# targets for a short while, then builds the Debian package and checks it.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh all

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
# The leak check's tracer reads each library's dynamic thread-local blocks
# through what it recorded of __tls_get_addr; with Debian's GCC 12 and
# glibc 2.36 that record can hold a stale block, and the tracer dies at
# exit ("Tracer caught signal 11", "LeakSanitizer has encountered a fatal
# error") depending only on how the binaries are laid out.  Without the
# record those blocks are no roots of the check: it can only report more.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:intercept_tls_get_addr=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0

# build_and_test DIR EXCLUDED CMAKE-ARGS...: EXCLUDED, a regular expression
# of tests not to run there ("" for none).
build_and_test() {
  dir=$1; excluded=$2; shift 2
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" ${excluded:+-E "$excluded"}
}

# The soak of the window and the check of the sources' formatting find
# nothing new under the sanitizers, and take minutes there: they run once.
once_only='^(gui_longrun_test|sources_are_formatted)$'

echo "== normal build (warnings are errors)"
build_and_test build/release "" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZQ_WERROR=ON -DZQ_BUILD_TESTS=ON -DZQ_BUILD_BENCH=ON
echo "== sanitizer build"
build_and_test build/sanitize "$once_only" -DCMAKE_BUILD_TYPE=Debug -DZQ_SANITIZE=ON -DZQ_BUILD_TESTS=ON -DZQ_BUILD_BENCH=OFF
echo "== fuzzing (libFuzzer under the sanitizers, 12 s a target)"
scripts/fuzz.sh 12
echo "== Debian package: built and checked by lintian, then unpacked and run"
scripts/package.sh
scripts/check-package.sh build/zqscan_*.deb build/release
echo "== real-driver check (the kernel's vivid driver under QEMU, release build)"
scripts/driver-check.sh build/release
echo "== all tests passed in both builds, in the package and on the real driver"
