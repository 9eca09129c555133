#!/usr/bin/env bash
# Installs the portable archive as the README says, over a prefix whose folders already exist
# with their own owner and mode (2775), which must stay as they were, as must the time of share/,
# which gains no entry of its own (the others do, which moves their time to now); the archive
# must hold files only, with the NOTICES (file names) of what a static tool carries beside its
# LICENSE, and the tool it installs must print its record when the words after -- run it with an
# example URL as its argument 0.
# Usage: check_archive.sh ARCHIVE [NOTICE...] -- RUN...
set -euo pipefail
archive=$1 notices=() run=()
shift
while [ "$1" != -- ]; do notices+=("$1") && shift; done
run=("${@:2}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/local
folders=(bin share share/man share/doc)
for folder in "${folders[@]}"; do
  mkdir -p "$prefix/$folder"
  chmod 2775 "$prefix/$folder"
done
[ "$(id -u)" != 0 ] || chown -R 1:50 "$prefix"
touch -d @1000000000 "${folders[@]/#/$prefix/}"
state() { (cd "$prefix" && stat -c '%n %a %u:%g' "${folders[@]}" && stat -c '%n %Y' share); }
before=$(state)

folders_in_archive=$(tar -tvzf "$archive" | grep '^d' || true)
[ -z "$folders_in_archive" ] || { echo "the archive holds folders: $folders_in_archive"; exit 1; }
tar -xzf "$archive" -C "$prefix" --strip-components=1
after=$(state)
if [ "$before" != "$after" ]; then
  printf 'existing folders changed:\nbefore:\n%s\nafter:\n%s\n' "$before" "$after"
  exit 1
fi
for file in bin/urisplit share/man/man1/urisplit.1.gz share/doc/urisplit/LICENSE \
  "${notices[@]/#/share/doc/urisplit/}"; do
  [ -f "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
if ((${#notices[@]})) && ! grep -qE '^Files: (musl|glibc)/\*$' "$prefix/share/doc/urisplit/copyright"; then
  echo "the notices do not name the C library the tool carries"
  exit 1
fi
got=$("${run[@]}" "$prefix/bin/urisplit")
[ "$got" = "alpha /index.html 123" ] || { echo "the installed tool printed '$got'"; exit 1; }
echo "installed over existing folders, which kept their owner and mode: $(tr "\n" ";" <<<"$before")"
