#!/usr/bin/env bash
# Installs the build into a fresh prefix twice, then builds and runs the consumers against it,
# the C++ one and the C one, through find_package and through pkg-config; and once more with the
# source tree added as a subfolder of a C++ and of a C-only parent, which must leave the parent's
# build type alone and build only the library. The C consumer is a C-only project, built with
# the C compiler and strict C99 flags, and must not need the C++ runtime; the C++ one asks for
# C++98 and must be raised to the C++11 the header needs, and links the library by its name,
# urisplit::urisplit, and by its earlier one, urisplit::uri_parse. Then the library alone
# (URISPLIT_TOOL=OFF, tests at their default) is installed into other folders (every install
# folder absolute and outside the prefix, a prefix with a space, /usr under DESTDIR), and
# embedded as a shared library in a parent whose installed program must run. TOOL says whether
# BUILD_DIR installs the tool.
# Usage: check_install.sh BUILD_DIR CONSUMER_SOURCE_DIR CXX_COMPILER C_COMPILER PKG_CONFIG TOOL
set -euo pipefail
build=$1 source=$(cd "$2" && pwd) cxx=$3 cc=$4 pkg_config=$5 tool=$6
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

c_flags=(-std=c99 -Wall -Wextra -pedantic -Werror)
# Runs a consumer program and checks what it prints; a C one must not need the C++ runtime.
check_consumer() {
  local program=$1 how=$2 got
  got=$(LD_LIBRARY_PATH=$libdir "$program")
  [ "$got" = "$expected" ] || { echo "$how consumer printed '$got'"; exit 1; }
  if [[ $how == C\ * ]] && readelf -dW "$program" | grep -q 'NEEDED.*libstdc++'; then
    echo "$how consumer needs the C++ runtime"
    exit 1
  fi
}

# Builds the consumer in folder $1 with the further cmake arguments, runs it, and checks it.
consume_with_cmake() {
  local dir=$1 how=$2
  shift 2
  cmake -S "$source" -B "$dir" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" \
    -DCMAKE_C_FLAGS="${c_flags[*]}" "$@" >/dev/null
  cmake --build "$dir" >/dev/null
  check_consumer "$dir/consumer" "$how"
}

pc_dir=$(dirname "$(find "$prefix" -name urisplit.pc)")
libdir=$pc_dir/..
consume_with_cmake "$work/consumer" "C++ find_package" -DCMAKE_PREFIX_PATH="$prefix"
consume_with_cmake "$work/consumer_c" "C find_package" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCONSUMER_LANGUAGE=C
consume_with_cmake "$work/consumer_old" "C++ find_package, the earlier name" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCONSUMER_TARGET=urisplit::uri_parse

read -ra pc_flags <<<"$(PKG_CONFIG_PATH=$pc_dir "$pkg_config" --cflags --libs urisplit)"
"$cxx" -std=c++11 "$source/main.cpp" "${pc_flags[@]}" -o "$work/consumer_pc"
check_consumer "$work/consumer_pc" "C++ pkg-config"
"$cc" "${c_flags[@]}" "$source/main.c" "${pc_flags[@]}" -o "$work/consumer_c_pc"
check_consumer "$work/consumer_c_pc" "C pkg-config"

consume_with_cmake "$work/subfolder" add_subdirectory -DURISPLIT_SOURCE_DIR="$source/../.."
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$work/subfolder/CMakeCache.txt")
[ -z "$build_type" ] || { echo "the parent's build type became '$build_type'"; exit 1; }
[ ! -e "$work/subfolder/urisplit/urisplit" ] || { echo "the parent built the tool"; exit 1; }
consume_with_cmake "$work/subfolder_old" "add_subdirectory, the earlier name" \
  -DURISPLIT_SOURCE_DIR="$source/../.." -DCONSUMER_TARGET=urisplit::uri_parse
# A parent project in C alone embeds the library too.
consume_with_cmake "$work/subfolder_c" "C add_subdirectory" -DURISPLIT_SOURCE_DIR="$source/../.." \
  -DCONSUMER_LANGUAGE=C

# Debian's own files stay in the packages. (The notices of what a static tool carries, copyright
# beside LICENSE, every install has.)
debian_only=$(cd "$prefix" && find . -path '*/lintian/*' -o -name 'changelog*' -o -path '*/liburisplit-dev/*')
[ -z "$debian_only" ] || { echo "a plain install wrote Debian's files: $debian_only"; exit 1; }

# Configures with the tool off and the tests at their default, builds what a plain install
# takes, and installs, from folder $1 with the cmake arguments. No tool may be installed or
# packaged, although the tests build one for themselves.
install_library() {
  local dir=$1
  shift
  cmake -S "$source/../.." -B "$dir" -DCMAKE_CXX_COMPILER="$cxx" -DURISPLIT_TOOL=OFF "$@" >/dev/null
  cmake --build "$dir" --target liburisplit urisplit_manual_pages >/dev/null
  cmake --install "$dir" >/dev/null
  grep -qx 'set(CPACK_COMPONENTS_ALL "dev")' "$dir/CPackConfig.cmake" ||
    { echo "URISPLIT_TOOL=OFF packages: $(grep 'CPACK_COMPONENTS_ALL ' "$dir/CPackConfig.cmake")"; exit 1; }
}

# Every install folder absolute, none of them below the prefix, which must stay empty.
absolute=$work/absolute
install_library "$work/absolute-build" -DCMAKE_INSTALL_PREFIX="$absolute/prefix" \
  -DCMAKE_INSTALL_BINDIR="$absolute/bin" -DCMAKE_INSTALL_LIBDIR="$absolute/libraries" \
  -DCMAKE_INSTALL_INCLUDEDIR="$absolute/headers" -DCMAKE_INSTALL_DATAROOTDIR="$absolute/data" \
  -DCMAKE_INSTALL_MANDIR="$absolute/manuals" -DCMAKE_INSTALL_DOCDIR="$absolute/doc"
stray=$(find "$absolute/prefix" "$absolute/bin" "$absolute/data" -type f 2>/dev/null || true)
[ -z "$stray" ] || { echo "installed outside the folders asked for: $stray"; exit 1; }
if [ ! -f "$absolute/doc/LICENSE" ] || [ ! -f "$absolute/manuals/man3/uri_parse.3.gz" ] ||
  [ -e "$absolute/manuals/man1" ]; then
  echo "documentation misplaced: $(find "$absolute/doc" "$absolute/manuals")"
  exit 1
fi
libdir=$absolute/libraries
consume_with_cmake "$work/absolute-consumer" "C++ find_package, absolute folders" \
  -Durisplit_DIR="$libdir/cmake/urisplit"
read -ra pc_flags <<<"$(PKG_CONFIG_PATH=$libdir/pkgconfig "$pkg_config" --cflags --libs urisplit)"
"$cc" "${c_flags[@]}" "$source/main.c" "${pc_flags[@]}" -o "$work/absolute_pc"
check_consumer "$work/absolute_pc" "C pkg-config, absolute folders"

# pkg-config escapes the space, which a shell reads back only through eval.
spaced="$work/with space"
install_library "$work/spaced-build" -DCMAKE_INSTALL_PREFIX="$spaced"
libdir=$(dirname "$(find "$spaced" -name 'liburisplit.a')")
consume_with_cmake "$work/spaced-consumer" "C++ find_package, a prefix with a space" \
  -DCMAKE_PREFIX_PATH="$spaced"
spaced_flags=$(PKG_CONFIG_PATH=$libdir/pkgconfig "$pkg_config" --cflags --libs urisplit)
eval "\"\$cc\" \"\${c_flags[@]}\" \"\$source/main.c\" $spaced_flags -o \"\$work/spaced_pc\""
check_consumer "$work/spaced_pc" "C pkg-config, a prefix with a space"

DESTDIR=$work/root install_library "$work/usr-build" -DCMAKE_INSTALL_PREFIX=/usr
pc_dir=$(dirname "$(find "$work/root" -name urisplit.pc)")
for query in --cflags --libs; do
  got=$(PKG_CONFIG_PATH=$pc_dir "$pkg_config" "$query" urisplit)
  want=""
  [ "$query" = --cflags ] || want=-lurisplit
  read -ra words <<<"$got"
  [ "${words[*]}" = "$want" ] || { echo "pkg-config $query for /usr gave '$got'"; exit 1; }
done

# Embedded as a shared library, urisplit installs just what the parent's program needs to run.
parent=$work/parent
libdir=/nonexistent
consume_with_cmake "$work/embedded-shared" "C++ add_subdirectory, shared" \
  -DURISPLIT_SOURCE_DIR="$source/../.." -DBUILD_SHARED_LIBS=ON -DCMAKE_INSTALL_PREFIX="$parent"
cmake --install "$work/embedded-shared" >/dev/null
check_consumer "$parent/bin/consumer" "installed parent"
extra=$(cd "$parent" && find . -path './bin/consumer' -o -name 'liburisplit.so.*' -o -type d -o -print)
[ -z "$extra" ] || { echo "the parent installed more of urisplit: $extra"; exit 1; }

if [ "$tool" = ON ]; then
  got=$(exec -a 'http://alpha:123/index.html' "$prefix/bin/urisplit")
  [ "$got" = "alpha /index.html 123" ] || { echo "installed tool printed '$got'"; exit 1; }
elif [ -e "$prefix/bin" ]; then
  echo "URISPLIT_TOOL=OFF installed: $(ls "$prefix/bin")"
  exit 1
fi
echo "consumed from C++ and C through find_package, pkg-config and add_subdirectory, from every" \
  "install folder: $expected"
