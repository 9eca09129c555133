# How the urisplit tool is linked. By default it is a hardened static PIE: on musl, whose start-up
# makes a handful of system calls, or on glibc, whose start-up probes the CPU with CPUID, a trap
# on a virtual machine.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)

set(URISPLIT_LIBC auto CACHE STRING "C library of the static urisplit tool: auto, musl or glibc")
set_property(CACHE URISPLIT_LIBC PROPERTY STRINGS auto musl glibc)

# Debian names musl's folders after the target's triplet with musl in place of gnu, apart from
# a few (i386-linux-musl, arm-linux-musleabihf), which the cross toolchain files name in
# URISPLIT_MUSL_TRIPLET; musl's own installer uses /usr/local/musl, which only a native build
# can take to be for its target.
set(musl_libdirs)
set(musl_includedirs)
if(NOT URISPLIT_MUSL_TRIPLET AND CMAKE_LIBRARY_ARCHITECTURE)
  string(REGEX REPLACE "-gnu[a-z0-9]*$" "-musl" URISPLIT_MUSL_TRIPLET
                       "${CMAKE_LIBRARY_ARCHITECTURE}")
endif()
if(URISPLIT_MUSL_TRIPLET)
  list(APPEND musl_libdirs /usr/lib/${URISPLIT_MUSL_TRIPLET})
  list(APPEND musl_includedirs /usr/include/${URISPLIT_MUSL_TRIPLET})
endif()
if(NOT CMAKE_CROSSCOMPILING)
  list(APPEND musl_libdirs /usr/local/musl/lib)
  list(APPEND musl_includedirs /usr/local/musl/include)
endif()
find_path(URISPLIT_MUSL_LIBDIR rcrt1.o PATHS ${musl_libdirs} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
          DOC "Folder of musl's libc.a and start files")
find_path(URISPLIT_MUSL_INCLUDEDIR string.h PATHS ${musl_includedirs} NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH DOC "Folder of musl's headers")

# How a static PIE is linked. Some compilers' drivers (Debian's for arm, mips64el and riscv64)
# take -static-pie for its start files but still name a dynamic loader, so the linker is told
# what -static-pie means in full.
set(URISPLIT_STATIC_PIE -static-pie "LINKER:-Bstatic,--no-dynamic-linker,-z,text")

# Stack protector, control-flow protection where the target has it, full RELRO, no executable
# stack. _FORTIFY_SOURCE needs optimisation and glibc's checked routines, so callers add it.
function(urisplit_harden target)
  check_cxx_compiler_flag(-fcf-protection URISPLIT_HAS_CF_PROTECTION)
  if(URISPLIT_HAS_CF_PROTECTION)
    target_compile_options(${target} PRIVATE -fcf-protection)
  else()
    check_cxx_compiler_flag(-mbranch-protection=standard URISPLIT_HAS_BRANCH_PROTECTION)
    if(URISPLIT_HAS_BRANCH_PROTECTION)
      target_compile_options(${target} PRIVATE -mbranch-protection=standard)
    endif()
  endif()
  target_compile_options(${target} PRIVATE -fstack-protector-strong)
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_link_options(${target} PRIVATE LINKER:-z,relro,-z,now,-z,noexecstack)
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
                    OUTPUT_VARIABLE resource_dir OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(compiler_include ${resource_dir}/include)
  else()
    urisplit_print_file_name(compiler_include include)
  endif()
  urisplit_print_file_name(crtbegin crtbeginS.o)
  urisplit_print_file_name(crtend crtendS.o)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
                  OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
  target_compile_options(
    ${target} PRIVATE -nostdinc "SHELL:-isystem ${URISPLIT_MUSL_INCLUDEDIR}"
    "SHELL:-isystem ${compiler_include}")
  # Start files go before the objects, the libraries and end files after them.
  set(lib ${URISPLIT_MUSL_LIBDIR})
  target_link_options(${target} PRIVATE ${URISPLIT_STATIC_PIE} -nostdlib ${lib}/rcrt1.o
                      ${lib}/crti.o ${crtbegin})
  # The C library and libgcc call each other (64-bit division on 32-bit targets raises SIGFPE
  # through raise), so the linker reads them as one group.
  target_link_libraries(${target} PRIVATE -Wl,--start-group ${lib}/libc.a ${libgcc} -Wl,--end-group
                        ${crtend} ${lib}/crtn.o)
endfunction()

# The urisplit tool as target name, linked as link says: musl or glibc (hardened static PIEs),
# glibc-no-pie (a hardened static program at a fixed address, where glibc has no start file for
# a static PIE), dynamic (a hardened PIE on the system's C library), or plain (for sanitizer
# runtimes). It compiles the library's source itself, with its own C library and flags.
function(urisplit_add_tool name link)
  add_executable(${name} ${PROJECT_SOURCE_DIR}/src/main.cpp ${PROJECT_SOURCE_DIR}/src/uri_parse.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  urisplit_link_like_tool(${name} ${link})
endfunction()

# Compiles and links the program target as the tool is, for link (see urisplit_add_tool).
function(urisplit_link_like_tool target link)
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
  target_link_libraries(${target} PRIVATE urisplit_warnings)
  if(link STREQUAL "plain")
    return()
  endif()
  urisplit_harden(${target})
  if(link STREQUAL "musl")
    urisplit_link_static_musl(${target})
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/static_relro.cpp)
    return()
  endif()
  # Fortified string routines are glibc's; the check needs optimisation.
  target_compile_options(
    ${target} PRIVATE
    $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2>)
  if(link STREQUAL "glibc")
    target_link_options(${target} PRIVATE ${URISPLIT_STATIC_PIE})
  elseif(link STREQUAL "glibc-no-pie")
    # Still static, so that no dynamic loader is needed or obeyed: its environment variables
    # (LD_PRELOAD, LD_DEBUG, ...) have no effect. glibc's static start-up applies RELRO itself.
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE OFF)
    target_link_options(${target} PRIVATE -static)
  endif()
endfunction()

# Which C library the tool links: musl when asked, or when auto finds it; glibc otherwise.
if(URISPLIT_LIBC STREQUAL "auto")
  if(URISPLIT_MUSL_LIBDIR AND URISPLIT_MUSL_INCLUDEDIR)
    set(URISPLIT_TOOL_LIBC musl)
  else()
    set(URISPLIT_TOOL_LIBC glibc)
  endif()
elseif(URISPLIT_LIBC MATCHES "^(musl|glibc)$")
  set(URISPLIT_TOOL_LIBC ${URISPLIT_LIBC})
else()
  message(FATAL_ERROR "URISPLIT_LIBC is '${URISPLIT_LIBC}'; it takes auto, musl or glibc")
endif()
# Some targets' glibc cannot make a static PIE (Debian 12's riscv64 and s390x ship no rcrt1.o);
# a tool on glibc is then a static program at a fixed address, hardened otherwise alike.
set(CMAKE_REQUIRED_LINK_OPTIONS ${URISPLIT_STATIC_PIE})
check_cxx_source_compiles("int main() { return 0; }" URISPLIT_HAS_STATIC_PIE)
unset(CMAKE_REQUIRED_LINK_OPTIONS)
if(URISPLIT_TOOL_LIBC STREQUAL "musl" AND NOT (URISPLIT_MUSL_LIBDIR AND URISPLIT_MUSL_INCLUDEDIR))
  message(FATAL_ERROR "URISPLIT_LIBC=musl, but musl was not found: apt-get install musl-tools, "
                      "or set URISPLIT_MUSL_LIBDIR and URISPLIT_MUSL_INCLUDEDIR")
endif()
