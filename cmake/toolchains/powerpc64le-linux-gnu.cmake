# Cross build for little-endian 64-bit POWER Linux, with:
# apt-get install g++-powerpc64le-linux-gnu qemu-user musl-dev:ppc64el
set(URISPLIT_TRIPLET powerpc64le-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(URISPLIT_QEMU_NAME qemu-ppc64le)
set(URISPLIT_MUSL_TRIPLET powerpc64le-linux-musl)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
