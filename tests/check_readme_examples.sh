#!/usr/bin/env bash
# Builds and runs the README's C example and runs its Python one against the built shared
# library; each must print the record its comment names. An example is the fenced block after a
# line "<!-- example: LANGUAGE -->".
# Usage: check_readme_examples.sh README INCLUDE_DIR LIBRARY_DIR C_COMPILER PYTHON
set -euo pipefail
readme=$1 include_dir=$2 library_dir=$3 cc=$4 python=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
expected="example.com /index.html?q=1 8080"

example() { awk -v marker="<!-- example: $1 -->" -f "$(dirname "$0")/readme_block.awk" "$readme"; }

failed=0
check() {
  if [ "$2" = "$expected" ]; then echo "ok: $1"; else echo "FAILED: $1 printed '$2'"; failed=1; fi
}
example c >"$work/example.c"
example python >"$work/example.py"
if [ ! -s "$work/example.c" ] || [ ! -s "$work/example.py" ]; then
  echo "examples not found"
  exit 1
fi
"$cc" -std=c99 -Wall -Wextra -pedantic -Werror -I"$include_dir" "$work/example.c" \
  -L"$library_dir" -lurisplit -o "$work/example"
check "C example" "$(LD_LIBRARY_PATH=$library_dir "$work/example")"
check "Python example" "$(LD_LIBRARY_PATH=$library_dir "$python" "$work/example.py")"
exit "$failed"
