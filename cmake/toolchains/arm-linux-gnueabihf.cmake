# Cross build for 32-bit Arm Linux, hard float (armhf), with:
# apt-get install g++-arm-linux-gnueabihf qemu-user musl-dev:armhf
set(URISPLIT_TRIPLET arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(URISPLIT_QEMU_NAME qemu-arm)
set(URISPLIT_MUSL_TRIPLET arm-linux-musleabihf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
