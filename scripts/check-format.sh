#!/bin/sh
# Fails, naming the files, when a C or C++ source differs from what
# clang-format makes of it with the project's settings.
cd "$(dirname "$0")/.." || exit 1
bad=$(git ls-files '*.c' '*.cpp' '*.h' | while read -r f; do
  clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || echo "$f"
done)
[ -z "$bad" ] && exit 0
echo "not formatted (run clang-format -i on them):"
echo "$bad"
exit 1
