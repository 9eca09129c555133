# Cross build for 32-bit Arm Linux, soft float (armel), with:
# apt-get install g++-arm-linux-gnueabi qemu-user musl-dev:armel
set(URISPLIT_TRIPLET arm-linux-gnueabi)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(URISPLIT_QEMU_NAME qemu-arm)
set(URISPLIT_MUSL_TRIPLET arm-linux-musleabi)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
