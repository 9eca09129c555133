# Cross build for 64-bit Arm Linux: apt-get install g++-aarch64-linux-gnu qemu-user musl-dev:arm64
set(URISPLIT_TRIPLET aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(URISPLIT_QEMU_NAME qemu-aarch64)
set(URISPLIT_MUSL_TRIPLET aarch64-linux-musl)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
