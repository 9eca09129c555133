#!/usr/bin/env bash
# Checks that a shared library exports exactly the given symbols (demangled), one per argument.
# Usage: check_exports.sh NM LIBRARY SYMBOL...
set -euo pipefail
nm=$1 library=$2
shift 2
exported=$("$nm" -D -C --defined-only "$library" | cut -d' ' -f3- | sort)
expected=$(printf '%s\n' "$@" | sort)
if [ "$exported" != "$expected" ]; then
  printf 'FAILED: %s exports:\n%s\nexpected:\n%s\n' "$library" "$exported" "$expected"
  exit 1
fi
echo "ok: $library exports only: $(tr '\n' ';' <<<"$exported")"
