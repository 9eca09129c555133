#!/usr/bin/env bash
# Runs every example of the manual pages against an installed copy of the build, and compares
# what it prints byte for byte. In an .EX block, a line "$ command" is run (by sh, or by bash
# where it uses exec -a) and the lines after it are its expected output; lines before the first
# command form a program, saved as example.cpp for the commands to build.
# Usage: check_manual_pages.sh BUILD_DIR PAGE...
set -euo pipefail
build=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
export PATH="$work/prefix/bin:$PATH"
PKG_CONFIG_PATH=$(dirname "$(find "$work/prefix" -name urisplit.pc)")
export PKG_CONFIG_PATH
export LD_LIBRARY_PATH="$PKG_CONFIG_PATH/.."  # a shared build, in a prefix ld.so does not know

failed=0 examples=0
command="" expected=""
run_example() {
  [ -n "$command" ] || return 0
  local shell=sh out
  [[ $command == *"exec -a"* ]] && shell=bash
  out=$(cd "$work" && "$shell" -c "$command" 2>&1; printf x)
  out=${out%x}
  examples=$((examples + 1))
  if [ "$out" = "$expected" ]; then
    echo "ok: $command"
  else
    printf 'FAILED: %s\nexpected: %q\ngot:      %q\n' "$command" "$expected" "$out"
    failed=1
  fi
  command="" expected=""
}

for page in "$@"; do
  in_block=0 program=""
  while IFS= read -r line; do
    case $line in
      .EX) in_block=1 ;;
      .EE)
        run_example
        extension=cpp
        [[ $program != *'<urisplit/urisplit.h>'* ]] || extension=c
        [ -z "$program" ] || printf '%s' "$program" >"$work/example.$extension"
        in_block=0 program="" ;;
      *)
        [ "$in_block" = 1 ] || continue
        if [[ $line == '$ '* ]]; then
          run_example
          command=${line#\$ }
        elif [ -n "$command" ]; then
          expected+="$line"$'\n'
        else
          program+="$line"$'\n'
        fi ;;
    esac
  done < <(sed -e 's/\\-/-/g' -e "s/\\\\(aq/'/g" -e 's/\\(dq/"/g' -e 's/\\e/\\/g' "$page")
done
echo "$examples examples checked"
[ "$examples" -gt 0 ] && exit "$failed"
exit 1
