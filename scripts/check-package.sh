#!/bin/sh
# Checks a built Debian package as its users meet it, without installing it:
# unpacks it into a temporary root, validates its desktop entry and
# AppStream metainfo, runs the unpacked zqvideo on the virtual document
# camera from another working directory in English and in Chinese
# (capturing a page and making a PDF through the unpacked libraries), runs
# the unpacked zqpage on a photograph of a page, scans a page with Debian's
# scanimage through the unpacked SANE backend and its configuration, and
# builds a C program against the unpacked SDK with pkg-config and with
# CMake.
# Usage: scripts/check-package.sh PACKAGE.deb BUILD   (BUILD: a build tree
# with the tests, for tests/zqvideo_driver.so)
set -eu
deb=$(realpath "$1")
driver=$(realpath "$2/tests/zqvideo_driver.so")
cd "$(dirname "$0")/.."
source=$(pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
dpkg-deb -x "$deb" "$root"
libdir=$root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
fail() { echo "check-package: $*" >&2; exit 1; }

echo "-- desktop entry and metainfo"
desktop-file-validate "$root/usr/share/applications/zqvideo.desktop"
icon=$(sed -n 's/^Icon=//p' "$root/usr/share/applications/zqvideo.desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon $icon.svg"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

# zqvideo in the given language, started from an empty folder of its own;
# prints what the driver reports.
run_zqvideo() {
    lang=$1 home=$work/$1
    mkdir -p "$home/cwd" "$home/pages"
    printf '0\n0\n5\n0\n1280\n720\n%s\n2\n0\n0\n' "$home/pages" >"$home/.zqvideo.config"
    (cd "$home/cwd" && env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG="$lang" \
        XDG_CONFIG_HOME="$home" XDG_STATE_HOME="$home/state" ZQ_VIRTUAL_HARDWARE=demo QT_QPA_PLATFORM=offscreen \
        LD_PRELOAD="$driver" "$root/usr/bin/zqvideo") >"$home/report" 2>"$home/errors" ||
        { cat "$home/report" "$home/errors"; fail "zqvideo ($lang) failed"; }
    for library in libzqscan.so libzqpdf.so libzqsim.so; do
        grep -q "^library: $libdir/.*$library" "$home/report" ||
            { cat "$home/report"; fail "$library was not loaded from $libdir"; }
    done
    [ "$(ls "$home/pages" | grep -c '\.jpg$')" = 1 ] || fail "no page captured ($lang)"
    pdf=$(ls "$home"/pages/*.pdf) || fail "no PDF made ($lang)"
    qpdf --check "$pdf" >/dev/null || fail "$pdf is not a sound PDF"
    [ -z "$(ls "$home/cwd")" ] || fail "zqvideo wrote into its working directory"
}

echo "-- zqvideo in English"
run_zqvideo en_US.UTF-8
report=$work/en_US.UTF-8/report
grep -qx 'title: Zq Document Camera' "$report" || fail "the English title is missing"
if grep '^text: ' "$report" | grep -P '[\x{3000}-\x{9fff}\x{ff00}-\x{ffef}]'; then
    fail "Chinese texts left in the English interface"
fi
echo "-- zqvideo in Chinese"
run_zqvideo zh_CN.UTF-8
grep -qx 'title: Zq高拍仪' "$work/zh_CN.UTF-8/report" || fail "the Chinese title is missing"

echo "-- zqpage on a photograph"
photo=a4-on-dark-background
mkdir -p "$work/zqpage/cwd"
(cd "$work/zqpage/cwd" && "$root/usr/bin/zqpage" -o ../pages "$source/tests/data/photos/$photo.jpg") \
    >"$work/zqpage/report" || { cat "$work/zqpage/report"; fail "zqpage failed"; }
[ "$(cat "$work/zqpage/report")" = "../pages/$photo.jpg" ] || fail "zqpage did not report its page"
[ -s "$work/zqpage/pages/$photo.jpg" ] || fail "zqpage wrote no page"
loaded=$(LD_TRACE_LOADED_OBJECTS=1 "$root/usr/bin/zqpage" |
    sed -n 's/^[[:space:]]*libzqscan\.so\.1 => \([^ ]*\) .*/\1/p')
[ "$(realpath "$loaded")" = "$(realpath "$libdir/libzqscan.so.1")" ] ||
    fail "zqpage takes libzqscan from ${loaded:-nowhere}, not from $libdir"
[ -f "$root/usr/share/man/man1/zqpage.1.gz" ] || fail "zqpage's manual page is missing"

echo "-- scanimage through the SANE backend"
# SANE's dll backend reads only the package's sane.d (so dll.d/zqscan must
# name the backend) and loads the backend and libzqscan from the package.
sane() {
    env -u LD_PRELOAD SANE_CONFIG_DIR="$root/etc/sane.d" LD_LIBRARY_PATH="$libdir/sane:$libdir" \
        ZQ_VIRTUAL_HARDWARE=demo LD_DEBUG=files LD_DEBUG_OUTPUT="$work/sane-loads" scanimage "$@"
}
sane -L | grep -q '^device `zqscan:' || fail "scanimage -L does not list the camera"
for library in sane/libsane-zqscan.so.1 libzqscan.so.1 zqscan/libzqsim.so; do
    grep -qh "calling init: $libdir/$library\$" "$work"/sane-loads.* ||
        fail "scanimage did not load $library from $libdir"
done
sane --source Page --format=pnm >"$work/page.pnm" || fail "scanimage could not scan a page"
[ "$(identify -format %w "$work/page.pnm")" -gt 0 ] || fail "scanimage gave no page"

echo "-- a C program against the SDK"
export PKG_CONFIG_LIBDIR=$libdir/pkgconfig PKG_CONFIG_SYSROOT_DIR=$root
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wpedantic -Werror "$source/tests/c_header_test.c" -o "$work/by-pkg-config" \
    $(pkg-config --cflags --libs zqscan)
LD_LIBRARY_PATH=$libdir "$work/by-pkg-config"
cmake -S "$source/tests/sdk" -B "$work/sdk" -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
cmake --build "$work/sdk" >/dev/null
LD_LIBRARY_PATH=$libdir "$work/sdk/sdk_user"
echo "-- package checked"
