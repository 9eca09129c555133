#!/usr/bin/env bash
# Installs the RPMs into an empty root of their own with rpm --root: the tool as it is, with the
# requirements rpm itself finds, and it must run there; the library packages without the check
# of theirs (the C library and pkg-config, which an empty root lacks) and without ldconfig; then
# builds the C consumer against them with the installed .pc file, and runs it.
# Usage: check_rpm_install.sh CONSUMER_C LIBDIR RPM...
set -euo pipefail
consumer=$1 libdir=$2
shift 2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for rpm in "$@"; do
  rpm -qp --queryformat '%{NAME} %{VERSION}-%{RELEASE} %{ARCH} %{LICENSE}\n' "$rpm"
  rpm -qp --requires "$rpm" | sed -n '/^rpmlib(/!s/^/  requires: /p'
  rpm -qlvp "$rpm" | awk '{print "    " $1 " " $9 ($10 ? " " $10 " " $11 : "")}'
done
rpm --root "$root" --initdb
# Debian's rpm warns that it is not Debian's package manager, on every install.
tools=() libraries=()
for rpm in "$@"; do
  if [[ ${rpm##*/} == urisplit-[0-9]* ]]; then tools+=("$rpm"); else libraries+=("$rpm"); fi
done
if ((${#tools[@]})); then
  rpm --root "$root" -i "${tools[@]}" 2> >(grep -v '^rpm: ' >&2)
  got=$(exec -a 'http://alpha:123/index.html' "$root/usr/bin/urisplit")
  [ "$got" = "alpha /index.html 123" ] || { echo "the installed tool printed '$got'"; exit 1; }
fi
rpm --root "$root" --nodeps --noscripts -i "${libraries[@]}" 2> >(grep -v '^rpm: ' >&2)
flags=$(PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$root/usr/$libdir/pkgconfig \
  pkg-config --cflags --libs urisplit)
# shellcheck disable=SC2086 # the flags are words
gcc -std=c99 "$consumer" $flags -o "$root/consumer"
got=$(LD_LIBRARY_PATH=$root/usr/$libdir "$root/consumer")
[ "$got" = "example.com /index.html?q=1 8080" ] || { echo "the consumer printed '$got'"; exit 1; }
echo "installed with rpm --root, the tool run and the library used: $(rpm --root "$root" -qa | sort | tr '\n' ' ')"
