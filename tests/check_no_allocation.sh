#!/usr/bin/env bash
# Fails when any of the object files or archives calls an allocator, naming the file and the
# routine, or when nm cannot read one of them.
# Usage: check_no_allocation.sh NM FILE...
set -euo pipefail
nm=$1
shift
failed=0
for file in "$@"; do
  undefined=$("$nm" -u -C "$file")
  found=$(grep -E -w 'malloc|calloc|realloc|free|aligned_alloc|posix_memalign|strdup|strndup|operator new.*' \
    <<<"$undefined" || true)
  if [ -n "$found" ]; then
    echo "FAILED: $file calls an allocator: $(tr -s " \n" " " <<<"$found")"
    failed=1
  fi
done
echo "$# files read"
exit "$failed"
