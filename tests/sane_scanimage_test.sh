#!/bin/sh
# Debian's scanimage, through SANE's dll backend, on the virtual camera
# from the build folder.  Usage: sane_scanimage_test.sh BUILD_FOLDER
# In the sanitizer build ZQ_SCANIMAGE_PRELOAD names the sanitizer's runtime:
# scanimage is not instrumented, so the runtime must be loaded before the
# backend that needs it (and only into scanimage).
set -u
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SANE_CONFIG_DIR="$build/sane.d" LD_LIBRARY_PATH="$build/lib/sane"
passed=0 failed=0
check() { # NAME COMMAND...
  name=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}
width() { # of a picture file
  identify -format %w "$1" 2>/dev/null
}
scan() {
  env LD_PRELOAD="${ZQ_SCANIMAGE_PRELOAD:-}" scanimage "$@"
}
lists_camera() {
  scan -L | grep -q "zqscan:0ac8:3370.*document camera"
}
refuses() {
  ! scan "$@" > /dev/null 2>&1
}

export ZQ_VIRTUAL_HARDWARE=demo
check "-L lists the camera" lists_camera
scan -A > "$work/options" 2>&1
for option in --mode --resolution --source --page-timeout --clear-background --brightness --contrast; do
  check "-A shows $option" grep -q -- "$option" "$work/options"
done
frame=$(scan -A --source "Whole frame" | sed -n 's/^ *-x 0\.\.\([0-9]*\)pel.*/\1/p')
scan --source 'Whole frame' > "$work/whole.pnm"
check "Whole frame gives the frame" test "$(width "$work/whole.pnm")" = "$frame"
scan > "$work/page.pnm"
pageWidth=$(width "$work/page.pnm")
check "Page gives less than the frame" test "${pageWidth:-0}" -gt 0 -a "${pageWidth:-0}" -lt "$frame"
check "a bad mode is refused" refuses --mode Lineart

# Automatic on the stack: each laid page once, in order, then the end.
# The batch has a folder of its own, so that only its pages are read.  The
# script's pages come up to 7 s apart (a page laid while a hand passes);
# the timeout leaves room for a loaded machine's slower frames.  The
# stillness watch needs frames less than 0.8 s apart: at 1920x1080 (130
# dpi) they come fast enough in the sanitizer build too, and the pages
# are still large enough to read.  At most one page more than the stack
# holds: a backend that gives a page again stops there.
export ZQ_VIRTUAL_HARDWARE=stack
mkdir "$work/batch"
(cd "$work/batch" && scan --source Automatic --resolution 130 --page-timeout 15 --batch=p%02d.pnm --batch-count=7 > ../batch.log 2>&1)
read_pages=""
for f in "$work"/batch/p*.pnm; do
  n=$(tesseract "$f" - 2>/dev/null | grep -o 'page [0-9]' | head -n 1 | cut -c6)
  read_pages="$read_pages${n:-?}"
done
check "Automatic gives the six pages once each (read: $read_pages)" test "$read_pages" = 123456
grep -q "Document feeder out of documents" "$work/batch.log"
check "the batch ends when no page comes" test $? -eq 0

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
