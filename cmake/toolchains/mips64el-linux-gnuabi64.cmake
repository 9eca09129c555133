# Cross build for little-endian 64-bit MIPS Linux, with:
# apt-get install g++-mips64el-linux-gnuabi64 qemu-user musl-dev:mips64el
set(URISPLIT_TRIPLET mips64el-linux-gnuabi64)
set(CMAKE_SYSTEM_PROCESSOR mips64el)
set(URISPLIT_QEMU_NAME qemu-mips64el)
set(URISPLIT_MUSL_TRIPLET mips64el-linux-musl)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
