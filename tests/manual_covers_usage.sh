#!/bin/sh
# Passes when a program's manual page names every command, option and exit
# code that the program's usage text lists (commands: lines of two spaces
# and a lower-case word; a program may have none).
# Usage: manual_covers_usage.sh PROGRAM PAGE
set -eu
usage=$("$1" --help)
page=$(sed 's/\\-/-/g' "$2")
commands=$(printf '%s\n' "$usage" | sed -n 's/^  \([a-z][a-z-]*\)\( .*\)\{0,1\}$/\1/p')
options=$(printf '%s\n' "$usage" | grep -oE -- '--[a-z0-9-]+' | sort -u)
codes=$(printf '%s\n' "$usage" | sed -n '/^Exit codes:/,$p' | grep -oE '(^|[ :,])[0-9]+ ' | tr -dc '0-9 \n')
missing=""
for word in $commands $options; do
    printf '%s\n' "$page" | grep -qF -- "$word" || missing="$missing $word"
done
for code in $codes; do
    printf '%s\n' "$page" | grep -qx "\.B $code" || missing="$missing exit-$code"
done
[ -n "$options" ] && [ -n "$codes" ] || { echo "cannot read the usage text"; exit 1; }
[ -z "$missing" ] || { echo "$(basename "$2") lacks:$missing"; exit 1; }
