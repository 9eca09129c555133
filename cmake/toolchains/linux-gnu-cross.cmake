# Shared part of the cross toolchain files: Debian's cross compiler for URISPLIT_TRIPLET, its
# libraries under /usr/<triplet>, and qemu-user as the emulator that runs target programs. The
# target's musl (URISPLIT_MUSL_TRIPLET, its folder name) comes from Debian's multiarch:
# dpkg --add-architecture ARCH, then apt-get install musl-dev:ARCH.
# qemu is started directly (no binfmt_misc registration is needed); -L lets it find the target's
# dynamic loader, and its option -0 sets argument 0.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${URISPLIT_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${URISPLIT_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${URISPLIT_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Only the tests need the emulator; without it, they are left out or, asked for, an error.
find_program(URISPLIT_QEMU ${URISPLIT_QEMU_NAME})
if(URISPLIT_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${URISPLIT_QEMU} -L /usr/${URISPLIT_TRIPLET})
endif()
