#!/usr/bin/env bash
# Checks from the file alone that a program is hardened: a position-independent executable, full
# RELRO (a GNU_RELRO segment and BIND_NOW), a stack that cannot execute, and a stack-protector
# canary read and checked in main. CANARY is how the target reads it: an instruction pattern in
# main where the canary lives at the thread pointer, or the global's name where it lives in a
# global (glibc on arm64), reached through the GOT.
# Usage: check_hardening.sh PROGRAM READELF OBJDUMP CANARY
set -euo pipefail
program=$1 readelf=$2 objdump=$3 canary=$4
headers=$("$readelf" -hlW "$program")
dynamic=$("$readelf" -dW "$program")
symbols=$("$readelf" -sW "$program")
# GNU objdump names the function with --disassemble=, LLVM's with --disassemble-symbols=.
main=$("$objdump" -d --disassemble=main "$program" 2>/dev/null ||
  "$objdump" -d --disassemble-symbols=main "$program")
failed=0
expect() {
  if grep -qE -- "$3" <<<"$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}
expect "ELF type DYN (position-independent)" "$headers" 'Type: +DYN'
expect "a GNU_RELRO segment" "$headers" '^ *GNU_RELRO '
expect "BIND_NOW" "$dynamic" 'BIND_NOW|Flags:.* NOW'
expect "a stack without execute permission" "$headers" '^ *GNU_STACK( +0x[0-9a-f]+){5} +RW +0x'
expect "canary read ($canary)" "$main$symbols" "$canary"
expect "canary checked in main" "$main" '__stack_chk_fail'
exit "$failed"
