# Cross build for 32-bit x86 Linux: apt-get install g++-i686-linux-gnu qemu-user
set(URISPLIT_TRIPLET i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(URISPLIT_QEMU_NAME qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
