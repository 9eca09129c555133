# Cross build for 32-bit x86 Linux: apt-get install g++-i686-linux-gnu qemu-user musl-dev:i386
set(URISPLIT_TRIPLET i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(URISPLIT_QEMU_NAME qemu-i386)
set(URISPLIT_MUSL_TRIPLET i386-linux-musl)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
