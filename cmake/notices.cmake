# The notices of what a static tool carries besides urisplit's own code: the C library (musl,
# or glibc) and GCC's support code (libgcc and its start files), each taken from the copyright
# file of the Debian package that holds the file linked in. Sets:
# - URISPLIT_TOOL_LICENSE: the SPDX expression of the whole tool, also written to
#   notices/spdx-license for the release's SBOM;
# - URISPLIT_NOTICES: the files that go beside LICENSE: copyright, the tool's notices in
#   Debian's machine-readable format, and for glibc the LGPL 2.1 it asks to be shipped;
# - CPACK_URISPLIT_STATIC_BUILT_USING: the source packages, for the .deb's Static-Built-Using.
set(URISPLIT_TOOL_LICENSE MIT)
set(URISPLIT_NOTICES)
set(CPACK_URISPLIT_STATIC_BUILT_USING "")
set(notices_dir ${CMAKE_CURRENT_BINARY_DIR}/notices)

# The Debian package that holds file: in <prefix>_PACKAGE its name and version, in
# <prefix>_SOURCE its source package's, in <prefix>_COPYRIGHT the text of its copyright file.
# Empty where dpkg does not know the file.
function(urisplit_debian_owner prefix file)
  file(REAL_PATH ${file} file)
  execute_process(COMMAND dpkg-query --search ${file} OUTPUT_VARIABLE owner ERROR_QUIET)
  if(NOT owner MATCHES "^([^:, ]+)(:[a-z0-9]+)?: ")  # package[:architecture]: path
    return()
  endif()
  set(package ${CMAKE_MATCH_1})
  execute_process(
    COMMAND dpkg-query --show
            "--showformat=\${Version}\n\${source:Package} \${source:Version}"
            ${package}${CMAKE_MATCH_2}
    OUTPUT_VARIABLE fields ERROR_QUIET)
  string(REPLACE "\n" ";" fields "${fields}")
  list(GET fields 0 version)
  list(GET fields 1 source)
  file(READ /usr/share/doc/${package}/copyright copyright)
  set(${prefix}_PACKAGE "${package} ${version}" PARENT_SCOPE)
  set(${prefix}_SOURCE "${source}" PARENT_SCOPE)
  set(${prefix}_COPYRIGHT "${copyright}" PARENT_SCOPE)
endfunction()

if(URISPLIT_TOOL AND URISPLIT_TOOL_LINK STREQUAL "musl")
  set(libc musl)
  set(libc_license MIT)
  urisplit_debian_owner(LIBC ${URISPLIT_MUSL_LIBDIR}/libc.a)
elseif(URISPLIT_TOOL AND URISPLIT_TOOL_LINK MATCHES "^glibc")
  set(libc glibc)
  set(libc_license LGPL-2.1-or-later)
  urisplit_print_file_name(libc_file libc.a)
  urisplit_debian_owner(LIBC ${libc_file})
else()
  return()  # no tool, or a dynamic one, which carries no other code
endif()
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
                OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
urisplit_debian_owner(GCC ${libgcc})
if(NOT LIBC_COPYRIGHT OR NOT GCC_COPYRIGHT)
  message(WARNING "urisplit: dpkg does not know the C library or libgcc linked into the tool, "
                  "so its packages and archive name neither")
  return()
endif()
set(URISPLIT_TOOL_LICENSE "MIT AND GPL-3.0-or-later WITH GCC-exception-3.1")
if(NOT libc_license STREQUAL "MIT")
  string(REPLACE "MIT AND" "MIT AND ${libc_license} AND" URISPLIT_TOOL_LICENSE
                 "${URISPLIT_TOOL_LICENSE}")
endif()
string(REGEX REPLACE "^([^ ]+) (.+)$" "\\1 (= \\2)" libc_built_using "${LIBC_SOURCE}")
string(REGEX REPLACE "^([^ ]+) (.+)$" "\\1 (= \\2)" gcc_built_using "${GCC_SOURCE}")
set(CPACK_URISPLIT_STATIC_BUILT_USING "${libc_built_using}, ${gcc_built_using}")
file(WRITE ${notices_dir}/spdx-license "${URISPLIT_TOOL_LICENSE}\n")

# The C library's first copyright statement names it; its whole copyright file is its licence
# text. GCC's copyright covers all of GCC: of it, the runtime library exception applies.
string(REGEX MATCH "Copyright:? (\\([Cc]\\) )?([^\n]+)" statement "${LIBC_COPYRIGHT}")
set(libc_statement "${CMAKE_MATCH_2}")
string(REGEX MATCH "GCC RUNTIME LIBRARY EXCEPTION\n.*copyleft\nrequirements of the license of GCC\\.\n"
             exception "${GCC_COPYRIGHT}")
if(NOT exception)
  set(exception "${GCC_COPYRIGHT}")
endif()
urisplit_field_text(libc_text "${LIBC_COPYRIGHT}")
urisplit_field_text(gcc_text "GCC's support library is free software; you can redistribute it and/or
modify it under the terms of the GNU General Public License as published by the Free Software
Foundation; either version 3, or (at your option) any later version, with the GCC Runtime
Library Exception, version 3.1, which follows. On Debian systems the GNU General Public License,
version 3, is in /usr/share/common-licenses/GPL-3; it is also at
https://www.gnu.org/licenses/gpl-3.0.html.

${exception}")
set(relink "")
if(libc STREQUAL "glibc")
  set(relink "
 .
 The GNU C library is under the GNU Lesser General Public License 2.1 or later,
 which is in LGPL-2.1 beside this file in the portable archive and the RPM, and
 in /usr/share/common-licenses/LGPL-2.1 on Debian systems. To relink
 usr/bin/urisplit with a modified library, build it from
 urisplit-${PROJECT_VERSION}.tar.gz, the source published with this release, as its
 HACKING.md says; the library's own source is that of the source package above.")
  configure_file(/usr/share/common-licenses/LGPL-2.1 ${notices_dir}/LGPL-2.1 COPYONLY)
  list(APPEND URISPLIT_NOTICES ${notices_dir}/LGPL-2.1)
endif()
file(WRITE ${notices_dir}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: urisplit
Comment: usr/bin/urisplit is a static program. Besides urisplit's own code, it
 holds code of the C library (${libc}/* below) and of GCC's support library and
 start files (gcc/* below), from the packages named there.

Files: *
Copyright: 2026 urisplit developers
License: Expat

Files: ${libc}/*
Copyright: ${libc_statement}
License: ${libc}
Comment: From ${LIBC_PACKAGE} (source package ${LIBC_SOURCE}).
 The licence text below is its copyright file.${relink}

Files: gcc/*
Copyright: Free Software Foundation, Inc.
License: GPL-3+ with GCC-exception-3.1 exception
Comment: From ${GCC_PACKAGE} (source package ${GCC_SOURCE}).

License: Expat
${URISPLIT_LICENSE_TEXT}

License: ${libc}
${libc_text}

License: GPL-3+ with GCC-exception-3.1 exception
${gcc_text}
")
list(PREPEND URISPLIT_NOTICES ${notices_dir}/copyright)
