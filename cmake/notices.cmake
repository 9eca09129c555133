# The copyright files, in Debian's machine-readable format: urisplit's own (URISPLIT_COPYRIGHT),
# and for a static tool the notices of what it carries besides: the C library (musl, or glibc)
# and GCC's support code (libgcc and its start files), each from the copyright file of the Debian
# package that holds the file linked in. Sets URISPLIT_NOTICES, the files that go beside LICENSE
# with such a tool (its copyright, and for glibc the LGPL 2.1 it asks to be shipped);
# URISPLIT_TOOL_LICENSE, the SPDX expression of the whole tool; URISPLIT_STATIC_BUILT_USING, the
# source packages, for the .deb's Static-Built-Using.
set(notices_dir ${PROJECT_BINARY_DIR}/notices)
set(URISPLIT_TOOL_LICENSE MIT)
set(URISPLIT_NOTICES)
set(URISPLIT_STATIC_BUILT_USING "")

# A text as the continuation lines of a field of Debian's: each line indented, blank ones " .".
function(urisplit_field_text out text)
  string(REGEX REPLACE "\n+$" "" text "${text}")
  string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" text "${text}")
  string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" text "${text}")
  string(REPLACE "\n" "\n " text "${text}")
  set(${out} " ${text}" PARENT_SCOPE)
endfunction()

file(READ LICENSE license)
string(REGEX REPLACE "^.*\n\n(Permission)" "\\1" license "${license}")
urisplit_field_text(license "${license}")
set(header "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: urisplit
")
set(own "Files: *
Copyright: 2026 urisplit developers
License: Expat
")
set(URISPLIT_COPYRIGHT ${notices_dir}/urisplit/copyright)
file(WRITE ${URISPLIT_COPYRIGHT} "${header}\n${own}${license}\n")

# The Debian package that holds file: in <prefix>_PACKAGE its name and version, in
# <prefix>_SOURCE its source package's, in <prefix>_COPYRIGHT the text of its copyright file.
# Empty where dpkg does not know the file.
function(urisplit_debian_owner prefix file)
  file(REAL_PATH ${file} file)
  execute_process(COMMAND dpkg-query --search ${file} OUTPUT_VARIABLE owner ERROR_QUIET)
  if(NOT owner MATCHES "^([^:, ]+)(:[a-z0-9]+)?: ")  # package[:architecture]: path
    return()
  endif()
  execute_process(COMMAND dpkg-query --show "--showformat=\${Version}\n\${source:Package} \${source:Version}"
                          ${CMAKE_MATCH_1}${CMAKE_MATCH_2} OUTPUT_VARIABLE fields ERROR_QUIET)
  string(REPLACE "\n" ";" fields "${fields}")
  list(GET fields 0 version)
  list(GET fields 1 source)
  file(READ /usr/share/doc/${CMAKE_MATCH_1}/copyright copyright)
  set(${prefix}_PACKAGE "${CMAKE_MATCH_1} ${version}" PARENT_SCOPE)
  set(${prefix}_SOURCE "${source}" PARENT_SCOPE)
  set(${prefix}_COPYRIGHT "${copyright}" PARENT_SCOPE)
endfunction()

if(NOT URISPLIT_TOOL OR NOT URISPLIT_LINK MATCHES "^(musl|glibc)")
  return()  # no tool, or a dynamic one, which carries no other code
endif()
if(URISPLIT_LINK STREQUAL "musl")
  set(libc musl)
  urisplit_debian_owner(LIBC ${URISPLIT_MUSL_LIBDIR}/libc.a)
else()
  set(libc glibc)
  urisplit_print_file_name(libc_file libc.a)
  urisplit_debian_owner(LIBC ${libc_file})
endif()
urisplit_print_file_name(libgcc libgcc.a)
urisplit_debian_owner(GCC ${libgcc})
if(NOT LIBC_COPYRIGHT OR NOT GCC_COPYRIGHT)
  message(WARNING "urisplit: dpkg does not know the C library or libgcc linked into the tool, "
                  "so its packages and archive name neither")
  return()
endif()
set(URISPLIT_TOOL_LICENSE "MIT AND GPL-3.0-or-later WITH GCC-exception-3.1")
if(libc STREQUAL "glibc")
  set(URISPLIT_TOOL_LICENSE "MIT AND LGPL-2.1-or-later AND GPL-3.0-or-later WITH GCC-exception-3.1")
endif()
string(REGEX REPLACE "^([^ ]+) (.+)$" "\\1 (= \\2)" libc_built_using "${LIBC_SOURCE}")
string(REGEX REPLACE "^([^ ]+) (.+)$" "\\1 (= \\2)" gcc_built_using "${GCC_SOURCE}")
set(URISPLIT_STATIC_BUILT_USING "${libc_built_using}, ${gcc_built_using}")

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
  set(URISPLIT_NOTICES ${notices_dir}/LGPL-2.1)
endif()
file(WRITE ${notices_dir}/copyright "${header}Comment: usr/bin/urisplit is a static program. Besides urisplit's own code, it
 holds code of the C library (${libc}/* below) and of GCC's support library and
 start files (gcc/* below), from the packages named there.

${own}
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
${license}

License: ${libc}
${libc_text}

License: GPL-3+ with GCC-exception-3.1 exception
${gcc_text}
")
list(PREPEND URISPLIT_NOTICES ${notices_dir}/copyright)
