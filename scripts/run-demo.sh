#!/bin/sh
# Installs what is missing, builds zqvideo and starts it from its output
# folder on the virtual document camera.  With --real-camera it runs on the
# cameras that are plugged in instead.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
cmake -S . -B build/release -G Ninja -DZQ_WERROR=ON >/dev/null
cmake --build build/release -j 2 --target zqvideo zqsim zqpdf

cd build/release
if [ "${1:-}" = "--real-camera" ]; then
    shift
    unset ZQ_VIRTUAL_HARDWARE
    exec ./zqvideo "$@"
fi
ZQ_VIRTUAL_HARDWARE=demo exec ./zqvideo "$@"
