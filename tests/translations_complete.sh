#!/bin/sh
# Passes when every text in zqvideo's sources has a finished translation in
# the .ts file (lupdate, run over the sources into a copy of it, finds
# nothing new) and no translation keeps a Chinese character.
# Usage: translations_complete.sh LUPDATE SOURCES FILE.ts
set -eu
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp "$3" "$copy/"
ts=$copy/$(basename "$3")
"$1" -silent -locations none -no-obsolete "$2" -ts "$ts"
if grep -B2 'type="unfinished"' "$ts"; then
    echo "untranslated texts: run lupdate as translations/CMakeLists.txt says, then translate them"
    exit 1
fi
if grep -P '<(translation|numerusform)>.*[\x{3000}-\x{9fff}\x{ff00}-\x{ffef}]' "$ts"; then
    echo "Chinese characters left in these translations"
    exit 1
fi
