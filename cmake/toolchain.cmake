# Cross build for another Debian release architecture of architectures.txt, with Debian's cross
# compiler: cmake --toolchain cmake/toolchain.cmake -DURISPLIT_ARCH=arm64. Its programs run
# under qemu-user (started directly: no binfmt_misc registration is needed; -L finds the
# target's dynamic loader), or as they are where this machine runs them itself (x86_64 runs
# i386's). Only the tests need them: without the emulator they are left out, or, asked for, an
# error. musl for the target comes from Debian's multiarch: dpkg --add-architecture ARCH, then
# apt-get install musl-dev:ARCH.
include(${CMAKE_CURRENT_LIST_DIR}/architecture.cmake)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES URISPLIT_ARCH)
urisplit_architecture("${URISPLIT_ARCH}")
if(NOT URISPLIT_TRIPLET)
  message(FATAL_ERROR "URISPLIT_ARCH is '${URISPLIT_ARCH}', which cmake/architectures.txt lacks")
endif()
set(CMAKE_SYSTEM_NAME Linux)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${URISPLIT_TRIPLET})
set(CMAKE_C_COMPILER ${URISPLIT_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${URISPLIT_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${URISPLIT_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(URISPLIT_ARCH STREQUAL "i386" AND CMAKE_HOST_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(URISPLIT_RUNS_NATIVELY ON)
else()
  find_program(URISPLIT_EMULATOR ${URISPLIT_EMULATOR_NAME})
  if(URISPLIT_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${URISPLIT_EMULATOR} -L /usr/${URISPLIT_TRIPLET})
  endif()
endif()
