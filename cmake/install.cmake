# Installs the tool with its manual page (component tool), and the library with its header,
# CMake package, pkg-config file and manual page (component dev), all below the install prefix;
# and sets up CPack to make one Debian package of each.

# Debian's multiarch layout, which its own packages use, for every prefix.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CMAKE_INSTALL_LIBDIR)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
include(${CMAKE_CURRENT_LIST_DIR}/release_date.cmake)

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
install(CODE "set(URISPLIT_PC_INCLUDEDIR [[${CMAKE_INSTALL_INCLUDEDIR}]])
set(URISPLIT_PC_LIBDIR [[${CMAKE_INSTALL_LIBDIR}]])
set(URISPLIT_PC_DIR [[${URISPLIT_PC_DIR}]])
set(URISPLIT_PC_IN [[${PROJECT_SOURCE_DIR}/cmake/urisplit.pc.in]])
set(URISPLIT_PC_STAGE [[${CMAKE_CURRENT_BINARY_DIR}/pkgconfig]])
set(PROJECT_DESCRIPTION [[${PROJECT_DESCRIPTION}]])
set(PROJECT_VERSION ${PROJECT_VERSION})
include([[${PROJECT_SOURCE_DIR}/cmake/write_pc.cmake]])" COMPONENT dev)

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

# A text as the continuation lines of a field of Debian's: each line indented, blank ones " .".
function(urisplit_field_text out text)
  string(REGEX REPLACE "\n+$" "" text "${text}")
  string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" text "${text}")
  string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" text "${text}")
  string(REPLACE "\n" "\n " text "${text}")
  set(${out} " ${text}" PARENT_SCOPE)
endfunction()

# Each package's copyright (in Debian's machine-readable form, from LICENSE) and changelog; the
# tool's also gives the notices of what a static tool carries (notices.cmake).
file(READ LICENSE license)
string(REGEX REPLACE "^.*\n\n(Permission)" "\\1" license "${license}")
urisplit_field_text(URISPLIT_LICENSE_TEXT "${license}")
include(${CMAKE_CURRENT_LIST_DIR}/notices.cmake)
set(debian_dir ${CMAKE_CURRENT_BINARY_DIR}/debian)
# What the changelogs and the description call the tool.
if(URISPLIT_TOOL_STATIC)
  set(URISPLIT_TOOL_KIND "hardened static program")
else()
  set(URISPLIT_TOOL_KIND "hardened program")
endif()
configure_file(cmake/debian/copyright.in ${debian_dir}/copyright @ONLY)
configure_file(cmake/debian/changelog.in ${debian_dir}/changelog @ONLY)
add_custom_command(
  OUTPUT ${debian_dir}/changelog.gz
  COMMAND gzip -9nkf ${debian_dir}/changelog
  DEPENDS ${debian_dir}/changelog VERBATIM)
add_custom_target(urisplit_debian_changelog ALL DEPENDS ${debian_dir}/changelog.gz)
# These are for the packages alone: EXCLUDE_FROM_ALL keeps them out of a plain install, which
# gets the licence in CMAKE_INSTALL_DOCDIR (share/doc/urisplit) instead.
# Each component's package: its Debian name, then its RPM name (as Fedora and openSUSE name them).
set(packages dev liburisplit-dev urisplit-devel)
if(URISPLIT_TOOL)
  list(APPEND packages tool urisplit urisplit)
  # What lintian says of the tool's linking, each for its reason: a static PIE looks to it like
  # a shared library without its prerequisites, a static program at a fixed address like any
  # static program.
  set(URISPLIT_LINK_OVERRIDE "")
  if(URISPLIT_TOOL_LINK MATCHES "^(musl|glibc)$")
    set(URISPLIT_LINK_OVERRIDE "# A static PIE needs no shared libraries, on purpose: without a \
dynamic loader it starts several times faster.
urisplit: shared-library-lacks-prerequisites [usr/bin/urisplit]
")
  elseif(URISPLIT_TOOL_LINK STREQUAL "glibc-no-pie")
    set(URISPLIT_LINK_OVERRIDE "# Static on purpose: it runs on any Linux of its architecture, \
and no dynamic loader is needed or obeyed.
urisplit: statically-linked-binary [usr/bin/urisplit]
")
  endif()
  configure_file(cmake/debian/urisplit.lintian-overrides.in ${debian_dir}/urisplit.lintian-overrides
                 @ONLY)
  install(FILES ${debian_dir}/urisplit.lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME urisplit COMPONENT tool
          EXCLUDE_FROM_ALL)
endif()
if(BUILD_SHARED_LIBS)
  list(APPEND packages lib liburisplit${PROJECT_VERSION_MAJOR} liburisplit${PROJECT_VERSION_MAJOR})
endif()
# The RPMs mark their licence as such, in share/licenses/<package>; prepare_packages.cmake
# leaves each format's files out of the other's packages.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
while(packages)
  list(POP_FRONT packages component package rpm_package)
  set(copyright ${debian_dir}/copyright)
  set(license_files LICENSE)
  if(component STREQUAL "tool" AND URISPLIT_NOTICES)
    list(GET URISPLIT_NOTICES 0 copyright)
    list(APPEND license_files ${URISPLIT_NOTICES})
  endif()
  install(FILES ${copyright} ${debian_dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component}
          EXCLUDE_FROM_ALL)
  set(licenses ${CMAKE_INSTALL_DATAROOTDIR}/licenses/${rpm_package})
  install(FILES ${license_files} DESTINATION ${licenses} COMPONENT ${component} EXCLUDE_FROM_ALL)
  string(TOUPPER ${component} upper)
  set(CPACK_RPM_${upper}_PACKAGE_NAME ${rpm_package})
  set(CPACK_RPM_${upper}_USER_FILELIST)
  foreach(file IN LISTS license_files)
    get_filename_component(name ${file} NAME)
    list(APPEND CPACK_RPM_${upper}_USER_FILELIST
         "%license ${CPACK_PACKAGING_INSTALL_PREFIX}/${licenses}/${name}")
  endforeach()
endwhile()
install(FILES LICENSE ${URISPLIT_NOTICES} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT license)

set(CPACK_PACKAGE_NAME urisplit)
set(CPACK_PACKAGE_VENDOR "urisplit developers")
set(CPACK_PACKAGE_CONTACT "${URISPLIT_DEB_MAINTAINER}")
# Each package's description below starts with its own synopsis, so no shared one goes first.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The packages are rebuilt for reproducibility. Their time stamps are the release time, which is
# also the time of the changelog's entry.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/finish_packages.cmake)
set(CPACK_URISPLIT_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_URISPLIT_RELEASE_EPOCH ${URISPLIT_RELEASE_EPOCH})
set(CPACK_URISPLIT_MULTIARCH_SAME liburisplit-dev liburisplit${PROJECT_VERSION_MAJOR})

set(CPACK_COMPONENTS_ALL dev)
if(URISPLIT_TOOL)
  list(APPEND CPACK_COMPONENTS_ALL tool)
endif()

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME urisplit)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
# A dynamically linked tool needs the glibc it was built against, or a newer one. (dpkg-shlibdeps
# would need the target's libc6 installed, which a cross build does not have.)
if(URISPLIT_TOOL_LINK STREQUAL "dynamic")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/glibc_version.h "#include <features.h>\n")
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dM -E ${CMAKE_CURRENT_BINARY_DIR}/glibc_version.h
                  OUTPUT_VARIABLE macros)
  string(REGEX MATCH "__GLIBC__ ([0-9]+)" major "${macros}")
  string(REGEX MATCH "__GLIBC_MINOR__ ([0-9]+)" minor "${macros}")
  string(REGEX REPLACE "[^0-9]" "" major "${major}")
  string(REGEX REPLACE "[^0-9]" "" minor "${minor}")
  set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "libc6 (>= ${major}.${minor})")
endif()
# Each package's summary (Debian's synopsis, capitalised as RPM's Summary) and description.
macro(urisplit_describe component summary description)
  set(CPACK_COMPONENT_${component}_DESCRIPTION "${summary}\n${description}")
  string(SUBSTRING "${summary}" 0 1 first)
  string(TOUPPER "${first}" first)
  string(SUBSTRING "${summary}" 1 -1 rest)
  set(CPACK_RPM_${component}_PACKAGE_SUMMARY "${first}${rest}")
  set(CPACK_RPM_${component}_PACKAGE_DESCRIPTION "${description}")
endmacro()
urisplit_describe(TOOL "split an HTTP URL into host, path and port"
    "urisplit takes an HTTP URL from argument 0 of its argument vector and writes
its host, path and port to standard output on one line, separated by single
spaces. The split is lenient and validates nothing; a missing port becomes 80
and a missing path /.

The tool is a small ${URISPLIT_TOOL_KIND} that starts in about the time
of an empty process, for scripts and build tools that split many URLs.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME liburisplit-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
urisplit_describe(DEV "C and C++ library to split an HTTP URL into host, path and port"
    "The library behind urisplit: parse_uri splits an HTTP URL held in a writable
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
  urisplit_describe(LIB "C and C++ library to split an HTTP URL (shared library)"
    "The shared library behind urisplit, with parse_uri and strremove, also under
their C names urisplit_parse_uri and urisplit_strremove.")
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
      "liburisplit${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION})")
endif()

# make urisplit_archive: the portable archive of the tool, named after its C library
# (x86_64-linux-musl, or riscv64-linux-gnu where there is no musl). A static tool runs on any
# Linux of its architecture; a dynamic one, on one whose glibc is as new.
if(URISPLIT_TOOL AND NOT URISPLIT_TOOL_LINK STREQUAL "plain")
  if(URISPLIT_TOOL_LINK STREQUAL "musl")
    set(libc_triplet ${URISPLIT_MUSL_TRIPLET})
  elseif(URISPLIT_TRIPLET)
    set(libc_triplet ${URISPLIT_TRIPLET})
  else()
    set(libc_triplet ${CMAKE_LIBRARY_ARCHITECTURE})
  endif()
  set(archive ${CMAKE_CURRENT_BINARY_DIR}/urisplit-${PROJECT_VERSION}-${libc_triplet}.tar.gz)
  set(URISPLIT_ARCHIVE ${archive})
  add_custom_target(
    urisplit_archive
    COMMAND ${CMAKE_COMMAND} -D BUILD_DIR=${CMAKE_CURRENT_BINARY_DIR} -D ARCHIVE=${archive}
            -D CPACK_URISPLIT_SOURCE_DIR=${PROJECT_SOURCE_DIR}
            -D CPACK_URISPLIT_RELEASE_EPOCH=${URISPLIT_RELEASE_EPOCH}
            "-DNOTICES=$<JOIN:${PROJECT_SOURCE_DIR}/LICENSE;${URISPLIT_NOTICES},|>"
            -P ${PROJECT_SOURCE_DIR}/cmake/make_archive.cmake
    DEPENDS urisplit urisplit_manual_pages urisplit_debian_changelog VERBATIM)
endif()

# The packages are for the target, also in a cross build.
set(deb_architectures amd64 arm64 i386 s390x armhf armel ppc64el mips64el riscv64)
set(rpm_architectures x86_64 aarch64 i686 s390x armv7hl armv5tel ppc64le mips64el riscv64)
if(URISPLIT_TRIPLET)
  execute_process(COMMAND dpkg-architecture -t${URISPLIT_TRIPLET} -qDEB_HOST_ARCH
                  OUTPUT_VARIABLE deb_architecture OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${deb_architecture})
else()
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE deb_architecture
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
list(FIND deb_architectures "${deb_architecture}" at)
if(at GREATER_EQUAL 0)
  list(GET rpm_architectures ${at} CPACK_RPM_PACKAGE_ARCHITECTURE)
endif()

# RPM packages for Fedora, RHEL and openSUSE: urisplit (the tool), urisplit-devel (headers,
# library, CMake package, .pc file; with a static library only, it also provides
# urisplit-static, as Fedora asks) and, for a shared library, liburisplit1. They take their
# library folder from CMAKE_INSTALL_LIBDIR, which those systems want as lib64 on 64-bit targets.
# The packages own their own folders, not the system's.
set(CPACK_RPM_COMPONENT_INSTALL ON)
# Not relocatable: the .pc file and the CMake package name the prefix they were installed to.
set(CPACK_PACKAGE_RELOCATABLE OFF)
# A static tool needs nothing at run time; rpm would read a requirement on the dynamic loader's
# GNU hash support from its .gnu.hash section.
if(URISPLIT_TOOL_STATIC)
  set(CPACK_RPM_TOOL_PACKAGE_AUTOREQ no)
endif()
# The shared library's package tells the loader's cache of it, as Fedora's and openSUSE's do.
set(CPACK_RPM_LIB_POST_INSTALL_SCRIPT_FILE ${PROJECT_SOURCE_DIR}/cmake/rpm/ldconfig)
set(CPACK_RPM_LIB_POST_UNINSTALL_SCRIPT_FILE ${PROJECT_SOURCE_DIR}/cmake/rpm/ldconfig)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
# CPack names one licence for all RPMs, but rpmbuild reads each package's header apart, so the
# tag chooses by the package's name: the tool carries more than urisplit's code.
set(CPACK_RPM_PACKAGE_LICENSE "%{lua: print(rpm.expand('%{name}') == 'urisplit' and \
'${URISPLIT_TOOL_LICENSE}' or 'MIT')}")
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_TOOL_PACKAGE_GROUP "Productivity/Networking/Web/Utilities")
set(CPACK_RPM_DEV_PACKAGE_GROUP "Development/Libraries/C and C++")
set(CPACK_RPM_LIB_PACKAGE_GROUP "System/Libraries")
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /usr/share/licenses /usr/share/man /usr/share/man/man1 /usr/share/man/man3
    /usr/${CMAKE_INSTALL_LIBDIR} /usr/${CMAKE_INSTALL_LIBDIR}/cmake
    /usr/${CMAKE_INSTALL_LIBDIR}/pkgconfig)
set(URISPLIT_RPM_PACKAGER "${URISPLIT_DEB_MAINTAINER}")
configure_file(cmake/rpm/changelog.in rpm/changelog @ONLY)
set(CPACK_RPM_CHANGELOG_FILE ${CMAKE_CURRENT_BINARY_DIR}/rpm/changelog)
if(BUILD_SHARED_LIBS)
  set(CPACK_RPM_DEV_PACKAGE_REQUIRES
      "liburisplit${PROJECT_VERSION_MAJOR} = ${PROJECT_VERSION}-${CPACK_RPM_PACKAGE_RELEASE}")
else()
  set(CPACK_RPM_DEV_PACKAGE_PROVIDES
      "urisplit-static = ${PROJECT_VERSION}-${CPACK_RPM_PACKAGE_RELEASE}")
endif()
# CPack strips with the target's tools; rpmbuild's own post-install scripts would use the build
# machine's. Nothing of the build machine (host name, time) may reach the packages.
set(CPACK_RPM_SPEC_INSTALL_POST /bin/true)
set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${URISPLIT_RPM_PACKAGER}
%define _buildhost reproducible
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1
%define source_date_epoch_from_changelog 0
%define _build_id_links none")

set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/prepare_packages.cmake)
include(CPack)
