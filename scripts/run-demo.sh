#!/bin/sh
# Installs what is missing, builds zqvideo and starts it from its output
# folder on the virtual document camera.  With --light-desk the page lies on
# a light wooden desk beside a pen and a mouse; with --leaning the camera's
# head leans forward, so the page is seen in perspective; with --book an open
# book lies there; with --unplugged the camera's frames stop now and then and
# it is unplugged and plugged in again; with --real-camera it runs on the
# cameras that are plugged in instead.  With --sane it starts Simple Scan
# instead, which scans from the virtual camera through the SANE backend of
# the build folder (--sane --stack: the stack of pages).
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
# The program alone: the tests need more packages than running it does.
cmake -S . -B build/release -G Ninja -DZQ_WERROR=ON -DZQ_BUILD_TESTS=OFF -DZQ_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j 2 --target zqvideo zqsim zqpdf sane-zqscan

cd build/release
if [ "${1:-}" = "--sane" ]; then
    shift
    preset=demo
    [ "${1:-}" = "--stack" ] && preset=stack && shift
    SANE_CONFIG_DIR=$(pwd)/sane.d LD_LIBRARY_PATH=$(pwd)/lib/sane ZQ_VIRTUAL_HARDWARE=$preset \
        exec simple-scan "$@"
fi
if [ "${1:-}" = "--real-camera" ]; then
    shift
    unset ZQ_VIRTUAL_HARDWARE
    exec ./zqvideo "$@"
fi
# The demo keeps its settings, pages and page list journals in its own
# folder, so that it never touches the user's own settings file and state.  The first run starts in automatic
# crop mode at 1920x1080, so the page on the desk is outlined at once.
# With --stack the camera sees a stack of pages laid one after another, and
# the first run switches automatic capture on; with --book it sees an open
# book whose pages are turned now and then, and the first run switches book
# mode and automatic capture on; with --light-desk the page lies on a light
# wooden desk.
preset=demo
demo=$(pwd)/demo
case "${1:-}" in
--stack)
    shift
    preset=stack
    demo=$(pwd)/demo-stack
    ;;
--book)
    shift
    preset=book
    demo=$(pwd)/demo-book
    ;;
--light-desk)
    shift
    preset=demo-light-desk
    ;;
--leaning)
    shift
    preset=demo-leaning
    ;;
--unplugged)
    shift
    preset=demo-coming-and-going
    ;;
esac
mkdir -p "$demo/pages"
if [ ! -f "$demo/.zqvideo.config" ]; then
    printf '0\n0\n5\n0\n1920\n1080\n%s\n2\n0\n0\n' "$demo/pages" > "$demo/.zqvideo.config"
    case $preset in
    stack) printf '[capture]\nauto=true\n' > "$demo/.zqvideo.ini" ;;
    book) printf '[capture]\nauto=true\nbook=true\n' > "$demo/.zqvideo.ini" ;;
    esac
fi
XDG_CONFIG_HOME=$demo XDG_STATE_HOME=$demo/state ZQ_VIRTUAL_HARDWARE=$preset exec ./zqvideo "$@"
