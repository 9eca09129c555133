# How the urisplit tool is linked: URISPLIT_LINK asks (auto, musl, glibc or dynamic), and is then
# set, as a plain variable, to what the build does: a hardened static PIE on musl, whose start-up
# makes a handful of system calls, or on glibc, whose start-up probes the CPU with CPUID, a trap
# on a virtual machine; glibc-fixed, a hardened static program at a fixed address where glibc
# has no static-PIE start file (Debian 12's riscv64 and s390x); dynamic, a hardened PIE; or
# sanitized, for the sanitizer runtimes. auto takes musl where it is found, glibc otherwise.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
set(URISPLIT_LINK auto CACHE STRING "How the urisplit tool is linked: auto, musl, glibc or dynamic")
set_property(CACHE URISPLIT_LINK PROPERTY STRINGS auto musl glibc dynamic)

# Debian's musl for this architecture (its folders are named in architectures.txt), or, natively,
# musl's own installer's /usr/local/musl.
set(musl_roots)
if(URISPLIT_LIBC_TRIPLET MATCHES "musl")
  list(APPEND musl_roots /usr/lib/${URISPLIT_LIBC_TRIPLET} /usr/include/${URISPLIT_LIBC_TRIPLET})
endif()
if(NOT CMAKE_CROSSCOMPILING)
  list(APPEND musl_roots /usr/local/musl/lib /usr/local/musl/include)
endif()
find_path(URISPLIT_MUSL_LIBDIR rcrt1.o PATHS ${musl_roots} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
          DOC "Folder of musl's libc.a and start files")
find_path(URISPLIT_MUSL_INCLUDEDIR string.h PATHS ${musl_roots} NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH DOC "Folder of musl's headers")

# Some compilers' drivers (Debian's for arm, mips64el and riscv64) take -static-pie for its start
# files but still name a dynamic loader, so the linker is told what -static-pie means in full.
set(static_pie -static-pie "LINKER:-Bstatic,--no-dynamic-linker,-z,text")
set(CMAKE_REQUIRED_LINK_OPTIONS ${static_pie})
check_cxx_source_compiles("int main() { return 0; }" URISPLIT_HAS_STATIC_PIE)
unset(CMAKE_REQUIRED_LINK_OPTIONS)

set(asked ${URISPLIT_LINK})
if(URISPLIT_SANITIZE OR URISPLIT_FUZZ)
  set(URISPLIT_LINK sanitized)
elseif(asked STREQUAL "musl" OR (asked STREQUAL "auto" AND URISPLIT_MUSL_LIBDIR AND URISPLIT_MUSL_INCLUDEDIR))
  set(URISPLIT_LINK musl)
  if(NOT (URISPLIT_MUSL_LIBDIR AND URISPLIT_MUSL_INCLUDEDIR))
    message(FATAL_ERROR "URISPLIT_LINK=musl, but musl was not found: apt-get install musl-tools, "
                        "or set URISPLIT_MUSL_LIBDIR and URISPLIT_MUSL_INCLUDEDIR")
  endif()
elseif(asked MATCHES "^(auto|glibc)$")
  set(URISPLIT_LINK glibc)
  if(NOT URISPLIT_HAS_STATIC_PIE)
    set(URISPLIT_LINK glibc-fixed)
  endif()
elseif(NOT asked STREQUAL "dynamic")
  message(FATAL_ERROR "URISPLIT_LINK is '${asked}'; it takes auto, musl, glibc or dynamic")
endif()
set(hint "")
if(asked STREQUAL "auto" AND URISPLIT_LINK MATCHES "^glibc" AND NOT CMAKE_CROSSCOMPILING)
  set(hint ", which starts several times slower on a virtual machine than on musl (apt-get "
           "install musl-tools)")
endif()
message(STATUS "urisplit: the tool is linked ${URISPLIT_LINK}${hint}")

# Stack protector, control-flow protection where the target has it, full RELRO, no executable
# stack; glibc's checked string routines, which need optimisation.
check_cxx_compiler_flag(-fcf-protection URISPLIT_HAS_CF_PROTECTION)
check_cxx_compiler_flag(-mbranch-protection=standard URISPLIT_HAS_BRANCH_PROTECTION)
function(urisplit_harden target)
  if(URISPLIT_HAS_CF_PROTECTION)
    target_compile_options(${target} PRIVATE -fcf-protection)
  elseif(URISPLIT_HAS_BRANCH_PROTECTION)
    target_compile_options(${target} PRIVATE -mbranch-protection=standard)
  endif()
  target_compile_options(${target} PRIVATE -fstack-protector-strong)
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_link_options(${target} PRIVATE LINKER:-z,relro,-z,now,-z,noexecstack)
  if(NOT URISPLIT_LINK STREQUAL "musl")
    target_compile_options(${target} PRIVATE
      $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2>)
  endif()
endfunction()

function(urisplit_print_file_name out name)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(${out} ${path} PARENT_SCOPE)
endfunction()

# A static PIE on musl. The compiler's own support files (crtbeginS.o, libgcc.a, stddef.h) are
# kept; the C library, its headers and start files are musl's. C++ wrapper headers such as
# <cstring> assume glibc, so the sources include the C headers; and they need no C++ runtime.
function(urisplit_link_static_musl target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-resource-dir
                    OUTPUT_VARIABLE compiler_include OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(APPEND compiler_include /include)
  else()
    urisplit_print_file_name(compiler_include include)
  endif()
  urisplit_print_file_name(crtbegin crtbeginS.o)
  urisplit_print_file_name(crtend crtendS.o)
  urisplit_print_file_name(libgcc libgcc.a)
  target_compile_options(${target} PRIVATE -nostdinc "SHELL:-isystem ${URISPLIT_MUSL_INCLUDEDIR}"
                                           "SHELL:-isystem ${compiler_include}")
  # Start files go before the objects, the libraries and end files after them. The C library
  # and libgcc call each other (64-bit division on 32-bit targets raises SIGFPE through raise),
  # so the linker reads them as one group.
  set(lib ${URISPLIT_MUSL_LIBDIR})
  target_link_options(${target} PRIVATE ${static_pie} -nostdlib ${lib}/rcrt1.o ${lib}/crti.o
                      ${crtbegin})
  # musl 1.2.3's static-PIE start-up applies no packed relative relocations (DT_RELR), so a tool
  # linked with them (LDFLAGS=-Wl,-z,pack-relative-relocs) would die before main.
  if(CMAKE_EXE_LINKER_FLAGS MATCHES "pack-relative-relocs")
    target_link_options(${target} PRIVATE LINKER:-z,nopack-relative-relocs)
  endif()
  target_link_libraries(${target} PRIVATE -Wl,--start-group ${lib}/libc.a ${libgcc}
                        -Wl,--end-group ${crtend} ${lib}/crtn.o)
endfunction()

# Compiles and links the program target as the tool is linked. The musl start-up leaves the
# RELRO region writable, so static_relro.cpp makes it read-only before main.
function(urisplit_link_like_tool target)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
  target_link_libraries(${target} PRIVATE urisplit_warnings)
  if(URISPLIT_LINK STREQUAL "sanitized")
    return()
  endif()
  urisplit_harden(${target})
  if(URISPLIT_LINK STREQUAL "musl")
    urisplit_link_static_musl(${target})
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/static_relro.cpp)
  elseif(URISPLIT_LINK STREQUAL "glibc")
    target_link_options(${target} PRIVATE ${static_pie})
  elseif(URISPLIT_LINK STREQUAL "glibc-fixed")
    # Still static, so that no dynamic loader is needed or obeyed: its environment variables
    # (LD_PRELOAD, LD_DEBUG, ...) have no effect. glibc's static start-up applies RELRO itself.
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE OFF)
    target_link_options(${target} PRIVATE -static)
  endif()
endfunction()
