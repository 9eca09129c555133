# Installs the tool with its manual page (component tool), and the library with its header,
# CMake package, pkg-config file and manual page (component dev), all below the install prefix;
# and sets up CPack to make one Debian package of each.

# Debian's multiarch layout, which its own packages use, for every prefix.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CMAKE_INSTALL_LIBDIR)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(URISPLIT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/urisplit)
set(URISPLIT_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
set(URISPLIT_DEB_MAINTAINER "urisplit developers <urisplit@localhost>"
    CACHE STRING "Maintainer of the Debian packages, as: Name <address>")

if(URISPLIT_TOOL)
  install(TARGETS urisplit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
endif()
install(TARGETS uri_parse EXPORT urisplitTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES src/uri_parse.h src/urisplit.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/urisplit COMPONENT dev)

install(EXPORT urisplitTargets NAMESPACE urisplit:: DESTINATION ${URISPLIT_CMAKE_DIR}
        COMPONENT dev)
configure_package_config_file(cmake/urisplitConfig.cmake.in urisplitConfig.cmake
                              INSTALL_DESTINATION ${URISPLIT_CMAKE_DIR})
write_basic_package_version_file(urisplitConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/urisplitConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/urisplitConfigVersion.cmake
        DESTINATION ${URISPLIT_CMAKE_DIR} COMPONENT dev)

# The .pc file is written when installing, once the prefix (--prefix, or CPack's /usr) is known.
set(pc_file ${CMAKE_CURRENT_BINARY_DIR}/urisplit.pc)
install(CODE "set(URISPLIT_PC_INCLUDEDIR [[${CMAKE_INSTALL_INCLUDEDIR}]])
set(URISPLIT_PC_LIBDIR [[${CMAKE_INSTALL_LIBDIR}]])
set(URISPLIT_PC_IN [[${PROJECT_SOURCE_DIR}/cmake/urisplit.pc.in]])
set(URISPLIT_PC_OUT [[${pc_file}]])
set(PROJECT_DESCRIPTION [[${PROJECT_DESCRIPTION}]])
set(PROJECT_VERSION ${PROJECT_VERSION})
include([[${PROJECT_SOURCE_DIR}/cmake/write_pc.cmake]])" COMPONENT dev)
install(FILES ${pc_file} DESTINATION ${URISPLIT_PC_DIR} COMPONENT dev)

# The manual pages, dated and versioned from the project, go in compressed, as Debian wants
# them; gzip -n leaves no time stamp in them. The C names lead to the library's page; the
# C++ names are found through its NAME line, as they are too generic for a page file of their
# own, which another package could ship too.
set(man_dir ${CMAKE_CURRENT_BINARY_DIR}/man)
set(man_pages urisplit.1 uri_parse.3)
foreach(page IN LISTS man_pages)
  configure_file(man/${page}.in ${man_dir}/${page} @ONLY)
  add_custom_command(
    OUTPUT ${man_dir}/${page}.gz
    COMMAND gzip -9nkf ${man_dir}/${page}
    DEPENDS ${man_dir}/${page} VERBATIM)
endforeach()
foreach(link urisplit_parse_uri.3 urisplit_strremove.3)
  file(CREATE_LINK uri_parse.3.gz ${man_dir}/${link}.gz SYMBOLIC)
endforeach()
add_custom_target(urisplit_manual_pages ALL DEPENDS ${man_dir}/urisplit.1.gz
                                                    ${man_dir}/uri_parse.3.gz)
if(URISPLIT_TOOL)
  install(FILES ${man_dir}/urisplit.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
endif()
install(FILES ${man_dir}/uri_parse.3.gz ${man_dir}/urisplit_parse_uri.3.gz
              ${man_dir}/urisplit_strremove.3.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT dev)

# Each package's copyright (in Debian's machine-readable form, from LICENSE) and changelog.
file(READ LICENSE license)
string(REGEX REPLACE "^.*\n\n(Permission)" "\\1" license "${license}")
string(REGEX REPLACE "\n+$" "" license "${license}")
string(REGEX REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " license "${license}")
set(URISPLIT_LICENSE_TEXT " ${license}")
set(debian_dir ${CMAKE_CURRENT_BINARY_DIR}/debian)
configure_file(cmake/debian/copyright.in ${debian_dir}/copyright @ONLY)
configure_file(cmake/debian/changelog.in ${debian_dir}/changelog @ONLY)
add_custom_command(
  OUTPUT ${debian_dir}/changelog.gz
  COMMAND gzip -9nkf ${debian_dir}/changelog
  DEPENDS ${debian_dir}/changelog VERBATIM)
add_custom_target(urisplit_debian_changelog ALL DEPENDS ${debian_dir}/changelog.gz)
# These are for the packages alone: EXCLUDE_FROM_ALL keeps them out of a plain install, which
# gets the licence in CMAKE_INSTALL_DOCDIR (share/doc/urisplit) instead.
set(packages dev liburisplit-dev)
if(URISPLIT_TOOL)
  list(APPEND packages tool urisplit)
  install(FILES cmake/debian/urisplit.lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME urisplit COMPONENT tool
          EXCLUDE_FROM_ALL)
endif()
if(BUILD_SHARED_LIBS)
  list(APPEND packages lib liburisplit${PROJECT_VERSION_MAJOR})
endif()
while(packages)
  list(POP_FRONT packages component package)
  install(FILES ${debian_dir}/copyright ${debian_dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component}
          EXCLUDE_FROM_ALL)
endwhile()
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT license)

set(CPACK_PACKAGE_NAME urisplit)
set(CPACK_PACKAGE_VENDOR "urisplit developers")
set(CPACK_PACKAGE_CONTACT "${URISPLIT_DEB_MAINTAINER}")
# Each package's description below starts with its own synopsis, so no shared one goes first.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The packages are rebuilt for reproducibility; the release time stands in for the last commit's
# when building outside git. It is also the time of the changelog's entry.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/finish_packages.cmake)
set(CPACK_URISPLIT_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_URISPLIT_RELEASE_EPOCH ${URISPLIT_RELEASE_EPOCH})
set(CPACK_URISPLIT_OBJCOPY ${CMAKE_OBJCOPY})
set(CPACK_URISPLIT_MULTIARCH_SAME liburisplit-dev liburisplit${PROJECT_VERSION_MAJOR})

# The source packages (with versions) of the C library and the compiler's support code that a
# static tool carries inside it, for its Static-Built-Using field; none for a dynamic tool, or
# where dpkg does not know the files.
set(static_files)
if(URISPLIT_TOOL_LINK STREQUAL "musl")
  set(static_files ${URISPLIT_MUSL_LIBDIR}/libc.a)
elseif(URISPLIT_TOOL_LINK STREQUAL "glibc")
  urisplit_print_file_name(static_files libc.a)
endif()
if(static_files)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
                  OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
  list(APPEND static_files ${libgcc})
endif()
set(built_using)
foreach(file IN LISTS static_files)
  file(REAL_PATH ${file} file)
  execute_process(COMMAND dpkg-query --search ${file} OUTPUT_VARIABLE owner ERROR_QUIET)
  if(owner MATCHES "^([^:, ]+(:[a-z0-9]+)?): ")  # package[:architecture]: path
    execute_process(COMMAND dpkg-query --show "--showformat=\${source:Package} (= \${source:Version})"
                            ${CMAKE_MATCH_1}
                    OUTPUT_VARIABLE source ERROR_QUIET)
    list(APPEND built_using "${source}")
  endif()
endforeach()
list(REMOVE_DUPLICATES built_using)
list(JOIN built_using ", " CPACK_URISPLIT_STATIC_BUILT_USING)
set(CPACK_COMPONENTS_ALL dev)
if(URISPLIT_TOOL)
  list(APPEND CPACK_COMPONENTS_ALL tool)
endif()

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME urisplit)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOL_DESCRIPTION
    "split an HTTP URL into host, path and port
urisplit takes an HTTP URL from argument 0 of its argument vector and writes
its host, path and port to standard output on one line, separated by single
spaces. The split is lenient and validates nothing; a missing port becomes 80
and a missing path /.

The tool is a small hardened static program that starts in about the time
of an empty process, for scripts and build tools that split many URLs.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME liburisplit-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "C and C++ library to split an HTTP URL into host, path and port
The library behind urisplit: parse_uri splits an HTTP URL held in a writable
buffer into host, path and port, each written into a buffer of the caller's,
and strremove deletes the occurrences of a substring in place. Neither
allocates memory nor keeps state. From C and other languages they are
urisplit_parse_uri and urisplit_strremove.

This package holds the C and C++ headers, the library to link against, a
CMake package, a pkg-config file and the manual page.")

# A static library needs the C library to link against; a shared one brings its own package.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libc6-dev | libc-dev")
if(BUILD_SHARED_LIBS)
  list(APPEND CPACK_COMPONENTS_ALL lib)
  set(CPACK_DEBIAN_LIB_PACKAGE_NAME liburisplit${PROJECT_VERSION_MAJOR})
  set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_LIB_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  set(CPACK_COMPONENT_LIB_DESCRIPTION "C and C++ library to split an HTTP URL (shared library)
The shared library behind urisplit, with parse_uri and strremove, also under
their C names urisplit_parse_uri and urisplit_strremove.")
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
      "liburisplit${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION})")
endif()
include(CPack)
