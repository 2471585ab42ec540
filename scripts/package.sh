#!/bin/sh
# Builds the Debian package build/zqscan_<version>_<arch>.deb: the programs
# and libraries alone, built for /usr with Debian's build flags (hardening
# included), packed by CPack with the dependencies that dpkg-shlibdeps
# computes, then checked by lintian, whose errors fail the build.
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh package

build=build/package
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DZQ_BUILD_TESTS=OFF -DZQ_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j "$(nproc)"

rm -f "$build"/zqscan_*.deb build/zqscan_*.deb
# CPack's own remarks (the private libraries have no SONAME for the shlibs
# file, as intended) go to its log, shown when it fails.
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
mv "$build"/zqscan_*.deb build/
deb=$(ls build/zqscan_*.deb)

echo "== lintian $deb"
lintian --fail-on error "$deb"
echo "built $deb"
