# Cross build for 64-bit RISC-V Linux: apt-get install g++-riscv64-linux-gnu qemu-user
# Debian 12 ships no musl for it, so the tool is linked against glibc.
set(URISPLIT_TRIPLET riscv64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(URISPLIT_QEMU_NAME qemu-riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
