#!/usr/bin/env bash
# Checks from the file alone that a program is hardened: a position-independent executable (TYPE
# DYN), full RELRO (a GNU_RELRO segment and BIND_NOW), a stack that cannot execute, a stack-protector canary
# read and checked in main, and, where LANDING_PAD names one (not -), main compiled with a control-flow
# landing pad. CANARY is a pattern for how main reads the canary: an instruction where it lives
# at the thread pointer, or a relocation against the global where it lives in one (arm, arm64,
# mips64el, riscv64). Such a load goes through a slot of the GOT that the linked program does
# not name, so main is also read from MAIN_OBJECT, its object file, with its relocations. The
# C library always defines the global, so its name in the symbol table proves nothing.
#
# The program as shipped is stripped, so main cannot be found in it by name. It gets the checks
# that need no symbols, and its code must be byte for byte the code checked in PROGRAM. SHIPPED
# is that file (the one in a package); without it, a copy of PROGRAM is stripped with STRIP, as
# the packages are.
# A static program at a fixed address (TYPE EXEC, where the C library has no static-PIE start
# file) has no dynamic section and binds nothing, so BIND_NOW is not asked of it; it must have
# no program interpreter, which only a dynamically linked one would name.
# Usage: check_hardening.sh PROGRAM READELF OBJDUMP OBJCOPY STRIP CANARY LANDING_PAD MAIN_OBJECT
#        TYPE [SHIPPED]
set -euo pipefail
program=$1 readelf=$2 objdump=$3 objcopy=$4 strip=$5 canary=$6 landing_pad=$7 main_object=$8
type=$9 shipped=${10:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -z "$shipped" ]; then
  shipped=$work/stripped
  "$strip" -o "$shipped" "$program"
fi

failed=0
expect() {
  if grep -qE -- "$3" <<<"$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}
refuse() {
  if grep -qE -- "$3" <<<"$2"; then echo "FAILED: $1"; failed=1; else echo "ok: $1"; fi
}
check_elf() {
  local headers dynamic
  headers=$("$readelf" -hlW "$1")
  dynamic=$("$readelf" -dW "$1")
  expect "$2: ELF type $type" "$headers" "Type: +$type "
  expect "$2: a GNU_RELRO segment" "$headers" '^ *GNU_RELRO '
  if [ "$type" = EXEC ]; then
    refuse "$2: static, with no program interpreter" "$headers" '^ *INTERP '
  else
    expect "$2: BIND_NOW" "$dynamic" 'BIND_NOW|Flags:.* NOW'
  fi
  expect "$2: a stack without execute permission" "$headers" \
    '^ *GNU_STACK( +0x[0-9a-f]+){5} +RW +0x'
}

check_elf "$program" built
# GNU objdump names the function with --disassemble=, LLVM's with --disassemble-symbols=.
disassemble_main() {
  "$objdump" -d "$@" --disassemble=main 2>/dev/null || "$objdump" -d "$@" --disassemble-symbols=main
}
main=$(disassemble_main "$program")
main_object=$(disassemble_main -r "$main_object")
expect "built: canary read in main ($canary)" "$main$main_object" "$canary"
expect "built: canary checked in main" "$main" '__stack_chk_fail'
if [ "$landing_pad" != - ]; then
  expect "built: main starts with a landing pad ($landing_pad)" \
    "$(grep -E -m1 '^ +[0-9a-f]+:' <<<"$main")" "$landing_pad"
fi

check_elf "$shipped" shipped
"$objcopy" -O binary --only-section=.text "$program" "$work/built.text"
"$objcopy" -O binary --only-section=.text "$shipped" "$work/shipped.text"
if [ -s "$work/built.text" ] && cmp -s "$work/built.text" "$work/shipped.text"; then
  echo "ok: shipped: the same code as built"
else
  echo "FAILED: shipped: the same code as built"
  failed=1
fi
exit "$failed"
