#!/bin/sh
# Installs the Debian packages the project needs, only those missing.
# Usage: scripts/install-deps.sh [build|vm|run|package|fuzz|all]   (default: all)
set -eu

build="build-essential cmake ninja-build pkg-config qtbase5-dev qtbase5-dev-tools qttools5-dev-tools
libopencv-dev libv4l-dev libjpeg-dev libturbojpeg0-dev libtiff-dev libqpdf-dev libtesseract-dev libfreetype-dev
googletest libgtest-dev libgmock-dev libbenchmark-dev clang-format git libsane-dev"
# searchable PDFs read English and Chinese
ocr="tesseract-ocr-eng tesseract-ocr-chi-sim"
# the test pages are written in the CJK font; flattened book pages are
# read by the tesseract program
tests="sane-utils xvfb xauth qpdf poppler-utils img2pdf imagemagick locales fonts-wqy-microhei tesseract-ocr $ocr"
# the fuzz targets: clang with libFuzzer and the sanitizer runtimes
fuzz="clang libclang-rt-dev"
# the real-driver check: a kernel with vivid booted under QEMU
vm="qemu-system-x86 linux-image-amd64 busybox-static cpio kmod v4l-utils"
run="simple-scan sane-utils fonts-wqy-microhei qt5-image-formats-plugins qttranslations5-l10n $ocr"
# the Debian package: built with CPack and dpkg-shlibdeps, checked by lintian
package="dpkg-dev file lintian desktop-file-utils appstream"

case "${1:-all}" in
  build) wanted="$build" ;;
  vm) wanted="$build $vm" ;;
  run) wanted="$build $run" ;;
  package) wanted="$build $package" ;;
  fuzz) wanted="$build $fuzz" ;;
  *) wanted="$build $tests $fuzz $vm $run $package" ;;
esac

missing=""
for p in $wanted; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "installing:$missing"
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq $missing
