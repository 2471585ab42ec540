#!/bin/sh
# Passes when zqchip's manual page names every command, option and exit
# code that the program's usage text lists.
# Usage: manual_covers_zqchip.sh ZQCHIP zqchip.1
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
[ -n "$commands" ] && [ -n "$options" ] && [ -n "$codes" ] || { echo "cannot read the usage text"; exit 1; }
[ -z "$missing" ] || { echo "zqchip.1 lacks:$missing"; exit 1; }
