#!/usr/bin/env bash
# Installs the build into a fresh prefix twice, then builds and runs the consumer against it,
# through find_package and through pkg-config; and once more with the source tree added as a
# subfolder, which must leave the parent's build type alone and build only the library.
# Usage: check_install.sh BUILD_DIR CONSUMER_SOURCE_DIR CXX_COMPILER PKG_CONFIG
set -euo pipefail
build=$1 source=$(cd "$2" && pwd) cxx=$3 pkg_config=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
expected="example.com /index.html?q=1 8080"

install_log=$(cmake --install "$build" --prefix "$prefix")
outside=$(grep -E '^-- (Installing|Up-to-date): ' <<<"$install_log" | grep -v -F -- "$prefix/" || true)
[ -z "$outside" ] || { echo "installed outside the prefix: $outside"; exit 1; }
first=$(cd "$prefix" && find . -type f -exec md5sum {} + | sort)
cmake --install "$build" --prefix "$prefix" >/dev/null
second=$(cd "$prefix" && find . -type f -exec md5sum {} + | sort)
[ "$first" = "$second" ] || { echo "a second install changed the tree"; exit 1; }

# Builds the consumer in folder $1 with the further cmake arguments, runs it, and checks it.
consume_with_cmake() {
  local dir=$1 how=$2 got
  shift 2
  cmake -S "$source" -B "$dir" -DCMAKE_CXX_COMPILER="$cxx" "$@" >/dev/null
  cmake --build "$dir" >/dev/null
  got=$("$dir/consumer")
  [ "$got" = "$expected" ] || { echo "$how consumer printed '$got'"; exit 1; }
}

consume_with_cmake "$work/consumer" find_package -DCMAKE_PREFIX_PATH="$prefix"

pc_dir=$(dirname "$(find "$prefix" -name urisplit.pc)")
flags=$(PKG_CONFIG_PATH=$pc_dir "$pkg_config" --cflags --libs urisplit)
# shellcheck disable=SC2086
"$cxx" -std=c++17 "$source/main.cpp" $flags -o "$work/consumer_pc"
got=$(LD_LIBRARY_PATH="$pc_dir/.." "$work/consumer_pc")
[ "$got" = "$expected" ] || { echo "pkg-config consumer printed '$got'"; exit 1; }

consume_with_cmake "$work/subfolder" add_subdirectory -DURISPLIT_SOURCE_DIR="$source/../.."
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$work/subfolder/CMakeCache.txt")
[ -z "$build_type" ] || { echo "the parent's build type became '$build_type'"; exit 1; }
[ ! -e "$work/subfolder/urisplit/urisplit" ] || { echo "the parent built the tool"; exit 1; }

got=$(exec -a 'http://alpha:123/index.html' "$prefix/bin/urisplit")
[ "$got" = "alpha /index.html 123" ] || { echo "installed tool printed '$got'"; exit 1; }
echo "consumed through find_package, pkg-config and add_subdirectory: $expected"
