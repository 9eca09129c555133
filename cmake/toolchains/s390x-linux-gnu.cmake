# Cross build for big-endian 64-bit IBM Z Linux, with:
# apt-get install g++-s390x-linux-gnu qemu-user musl-dev:s390x
set(URISPLIT_TRIPLET s390x-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(URISPLIT_QEMU_NAME qemu-s390x)
set(URISPLIT_MUSL_TRIPLET s390x-linux-musl)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
