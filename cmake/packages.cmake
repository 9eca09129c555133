# The packages, one per install component: a .deb for Debian (cpack -G DEB) and an RPM for
# Fedora, RHEL and openSUSE (cpack -G RPM, in a build whose CMAKE_INSTALL_LIBDIR is lib64, as
# they have it on 64-bit targets), for the target's architecture, also in a cross build; and
# the portable archive of the tool (make urisplit_archive). Their time stamps are the release
# time, noon UTC of the release date (or SOURCE_DATE_EPOCH), never a commit's or the build's.
set(URISPLIT_DEB_MAINTAINER "urisplit developers <urisplit@localhost>"
    CACHE STRING "Maintainer of the packages, as: Name <address>")
set(package_dir ${PROJECT_BINARY_DIR}/package)

# The changelogs in Debian's and RPM's formats, from CHANGELOG.md, each entry at noon UTC of its
# day as date(1) reads it (a day that does not exist stops the configuration), in English.
file(READ CHANGELOG.md changes)
string(REGEX MATCHALL "## [^\n]+\n\n(- [^\n]+\n(  [^\n]+\n)*)+" entries "${changes}")
set(debian_changelog "")
set(rpm_changelog "")
foreach(entry IN LISTS entries)
  string(REGEX MATCH "^## ([^ ]+) \\(([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])\\)\n\n(.*)$" _ "${entry}")
  set(version ${CMAKE_MATCH_1})
  set(day ${CMAKE_MATCH_2})
  string(REGEX REPLACE "\n$" "" items "${CMAKE_MATCH_3}")
  execute_process(COMMAND env LC_ALL=C date -u -d "${day} 12:00" "+%s;%a, %d %b %Y %T +0000;%a %b %d %Y"
                  OUTPUT_VARIABLE dates OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  list(POP_FRONT dates epoch debian_date rpm_date)
  string(REPLACE "\n" "\n  " debian_items "  ${items}")
  string(REGEX REPLACE "(^|\n)  - " "\\1  * " debian_items "${debian_items}")
  string(APPEND debian_changelog "urisplit (${version}) unstable; urgency=medium\n\n${debian_items}\n\n"
         " -- ${URISPLIT_DEB_MAINTAINER}  ${debian_date}\n\n")
  string(APPEND rpm_changelog "* ${rpm_date} ${URISPLIT_DEB_MAINTAINER} - ${version}-1\n${items}\n\n")
  if(NOT DEFINED URISPLIT_RELEASE_EPOCH)
    set(URISPLIT_RELEASE_EPOCH ${epoch})
  endif()
endforeach()
string(REGEX REPLACE "\n\n$" "\n" debian_changelog "${debian_changelog}")
string(REGEX REPLACE "\n\n$" "\n" rpm_changelog "${rpm_changelog}")
file(WRITE ${package_dir}/changelog "${debian_changelog}")
file(WRITE ${package_dir}/rpm-changelog "${rpm_changelog}")
add_custom_command(OUTPUT ${package_dir}/changelog.gz COMMAND gzip -9nkf ${package_dir}/changelog
                   DEPENDS ${package_dir}/changelog VERBATIM)
add_custom_target(urisplit_package_changelog ALL DEPENDS ${package_dir}/changelog.gz)

# What lintian says of a static tool, each for its reason.
set(link_override "")
if(URISPLIT_LINK MATCHES "^(musl|glibc)$")
  set(link_override "# A static PIE needs no shared libraries, on purpose: without a dynamic \
loader it starts several times faster.\nurisplit: shared-library-lacks-prerequisites [usr/bin/urisplit]\n")
elseif(URISPLIT_LINK STREQUAL "glibc-fixed")
  set(link_override "# Static on purpose: it runs on any Linux of its architecture, and no \
dynamic loader is needed or obeyed.\nurisplit: statically-linked-binary [usr/bin/urisplit]\n")
endif()
file(WRITE ${package_dir}/urisplit.lintian-overrides "${link_override}# Debian policy 4.6.2 \
defines Static-Built-Using for what a static program carries inside it;\n# the lintian of \
Debian 12 does not know the field yet.\nurisplit: unknown-field Static-Built-Using\n")

# Each component's Debian and RPM package name. Each package holds the files of both formats:
# Debian's copyright and changelog, and the licence marked %license in share/licenses for an
# RPM; normalise_package.cmake leaves out the other format's.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(packages dev liburisplit-dev urisplit-devel)
set(CPACK_COMPONENTS_ALL dev)
if(URISPLIT_TOOL)
  list(APPEND packages tool urisplit urisplit)
  list(APPEND CPACK_COMPONENTS_ALL tool)
  install(FILES ${package_dir}/urisplit.lintian-overrides RENAME urisplit COMPONENT tool EXCLUDE_FROM_ALL
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides)
endif()
set(lib_package liburisplit${PROJECT_VERSION_MAJOR})
if(BUILD_SHARED_LIBS)
  list(APPEND packages lib ${lib_package} ${lib_package})
  list(APPEND CPACK_COMPONENTS_ALL lib)
endif()
while(packages)
  list(POP_FRONT packages component package rpm_package)
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
  set(CPACK_RPM_${upper}_PACKAGE_NAME ${rpm_package})
  set(copyright ${URISPLIT_COPYRIGHT})
  set(licenses LICENSE)
  if(component STREQUAL "tool" AND URISPLIT_NOTICES)
    list(GET URISPLIT_NOTICES 0 copyright)
    list(APPEND licenses ${URISPLIT_NOTICES})
  endif()
  install(FILES ${copyright} ${package_dir}/changelog.gz COMPONENT ${component} EXCLUDE_FROM_ALL
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package})
  set(licence_dir ${CMAKE_INSTALL_DATAROOTDIR}/licenses/${rpm_package})
  install(FILES ${licenses} DESTINATION ${licence_dir} COMPONENT ${component} EXCLUDE_FROM_ALL)
  list(TRANSFORM licenses REPLACE "^(.*/)?([^/]+)$" "%license /usr/${licence_dir}/\\2"
       OUTPUT_VARIABLE CPACK_RPM_${upper}_USER_FILELIST)
endwhile()

# Each package's summary (Debian's synopsis, capitalised as RPM's Summary) and description.
macro(urisplit_describe component summary description)
  set(CPACK_COMPONENT_${component}_DESCRIPTION "${summary}\n${description}")
  string(SUBSTRING "${summary}" 0 1 first)
  string(TOUPPER "${first}" first)
  string(SUBSTRING "${summary}" 1 -1 rest)
  set(CPACK_RPM_${component}_PACKAGE_SUMMARY "${first}${rest}")
  set(CPACK_RPM_${component}_PACKAGE_DESCRIPTION "${description}")
endmacro()
set(kind "hardened program")
if(URISPLIT_LINK MATCHES "^(musl|glibc)")
  set(kind "hardened static program")
endif()
urisplit_describe(TOOL "split an HTTP URL into host, path and port"
    "urisplit takes an HTTP URL from argument 0 of its argument vector and writes
its host, path and port to standard output on one line, separated by single
spaces. The split is lenient and validates nothing; a missing port becomes 80
and a missing path /.

The tool is a small ${kind} that starts in about the time
of an empty process, for scripts and build tools that split many URLs.")
urisplit_describe(DEV "C and C++ library to split an HTTP URL into host, path and port"
    "The library behind urisplit: parse_uri splits an HTTP URL held in a writable
buffer into host, path and port, each written into a buffer of the caller's,
and strremove deletes the occurrences of a substring in place. Neither
allocates memory nor keeps state. From C and other languages they are
urisplit_parse_uri and urisplit_strremove.

This package holds the C and C++ headers, the library to link against, a
CMake package, a pkg-config file and the manual page.")
urisplit_describe(LIB "C and C++ library to split an HTTP URL (shared library)"
    "The shared library behind urisplit, with parse_uri and strremove, also under
their C names urisplit_parse_uri and urisplit_strremove.")

set(CPACK_PACKAGE_NAME urisplit)
set(CPACK_PACKAGE_VENDOR "urisplit developers")
set(CPACK_PACKAGE_CONTACT "${URISPLIT_DEB_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")  # each package's description starts with its own
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_RELOCATABLE OFF)  # the .pc file and the CMake package name their prefix
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/normalise_package.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/normalise_package.cmake)
set(CPACK_URISPLIT_EPOCH ${URISPLIT_RELEASE_EPOCH})
set(CPACK_URISPLIT_MULTIARCH_SAME liburisplit-dev ${lib_package})
set(CPACK_URISPLIT_STATIC_BUILT_USING "${URISPLIT_STATIC_BUILT_USING}")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${URISPLIT_DEB_ARCH})
set(CPACK_RPM_PACKAGE_ARCHITECTURE ${URISPLIT_RPM_ARCH})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
# A static library needs the C library to link against; a shared one brings its own package.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libc6-dev | libc-dev")
if(BUILD_SHARED_LIBS)
  set(CPACK_DEBIAN_LIB_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${lib_package} (= ${PROJECT_VERSION})")
endif()
# A dynamically linked tool needs the glibc it was built against, or a newer one. (dpkg-shlibdeps
# would need the target's libc6 installed, which a cross build does not have.)
if(URISPLIT_LINK STREQUAL "dynamic")
  file(WRITE ${package_dir}/glibc_version.h "#include <features.h>\nglibc __GLIBC__ __GLIBC_MINOR__\n")
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -E -P ${package_dir}/glibc_version.h OUTPUT_VARIABLE glibc)
  string(REGEX MATCH "glibc ([0-9]+) ([0-9]+)" glibc "${glibc}")
  set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "libc6 (>= ${CMAKE_MATCH_1}.${CMAKE_MATCH_2})")
endif()

set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_RELEASE 1)
set(CPACK_RPM_CHANGELOG_FILE ${package_dir}/rpm-changelog)
# CPack names one licence for all RPMs, but rpmbuild reads each package's header apart, so the
# tag chooses by the package's name: the tool carries more than urisplit's code.
set(CPACK_RPM_PACKAGE_LICENSE "%{lua: print(rpm.expand('%{name}') == 'urisplit' and \
'${URISPLIT_TOOL_LICENSE}' or 'MIT')}")
set(CPACK_RPM_TOOL_PACKAGE_GROUP "Productivity/Networking/Web/Utilities")
set(CPACK_RPM_DEV_PACKAGE_GROUP "Development/Libraries/C and C++")
set(CPACK_RPM_LIB_PACKAGE_GROUP "System/Libraries")
# A static tool needs nothing at run time; rpm would read a requirement on the dynamic loader's
# GNU hash support from its .gnu.hash section.
if(URISPLIT_LINK MATCHES "^(musl|glibc)")
  set(CPACK_RPM_TOOL_PACKAGE_AUTOREQ no)
endif()
# The shared library's package tells the loader's cache of it, as Fedora's and openSUSE's do;
# with a static library only, urisplit-devel also provides urisplit-static, as Fedora asks.
set(CPACK_RPM_LIB_POST_INSTALL_SCRIPT_FILE ${PROJECT_SOURCE_DIR}/cmake/rpm/ldconfig)
set(CPACK_RPM_LIB_POST_UNINSTALL_SCRIPT_FILE ${PROJECT_SOURCE_DIR}/cmake/rpm/ldconfig)
if(BUILD_SHARED_LIBS)
  set(CPACK_RPM_DEV_PACKAGE_REQUIRES "${lib_package} = ${PROJECT_VERSION}-1")
else()
  set(CPACK_RPM_DEV_PACKAGE_PROVIDES "urisplit-static = ${PROJECT_VERSION}-1")
endif()
# The packages own their own folders, not the system's.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/licenses /usr/share/man
    /usr/share/man/man1 /usr/share/man/man3 /usr/${CMAKE_INSTALL_LIBDIR}
    /usr/${CMAKE_INSTALL_LIBDIR}/cmake /usr/${CMAKE_INSTALL_LIBDIR}/pkgconfig)
# CPack strips with the target's tools; rpmbuild's own post-install scripts would use the build
# machine's. Nothing of the build machine (host name, time) may reach the packages.
set(CPACK_RPM_SPEC_INSTALL_POST /bin/true)
set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${URISPLIT_DEB_MAINTAINER}
%define _buildhost reproducible
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1
%define source_date_epoch_from_changelog 0
%define _build_id_links none")
include(CPack)

# The portable archive of the tool, named after its C library (x86_64-linux-musl, or
# riscv64-linux-gnu where there is no musl). A static tool runs on any Linux of its
# architecture; a dynamic one, on one whose glibc is as new.
if(URISPLIT_TOOL AND NOT URISPLIT_LINK STREQUAL "sanitized")
  set(libc_triplet ${CMAKE_LIBRARY_ARCHITECTURE})
  if(URISPLIT_LINK STREQUAL "musl" AND URISPLIT_LIBC_TRIPLET MATCHES "musl")
    set(libc_triplet ${URISPLIT_LIBC_TRIPLET})
  elseif(NOT libc_triplet)
    set(libc_triplet ${CMAKE_SYSTEM_PROCESSOR}-linux)
  endif()
  set(URISPLIT_ARCHIVE ${PROJECT_BINARY_DIR}/urisplit-${PROJECT_VERSION}-${libc_triplet}.tar.gz)
  add_custom_target(urisplit_archive VERBATIM
    COMMAND ${CMAKE_COMMAND} -D BUILD_DIR=${PROJECT_BINARY_DIR} -D ARCHIVE=${URISPLIT_ARCHIVE}
            -D EPOCH=${URISPLIT_RELEASE_EPOCH} "-DNOTICES=$<JOIN:${PROJECT_SOURCE_DIR}/LICENSE;${URISPLIT_NOTICES},|>"
            -P ${PROJECT_SOURCE_DIR}/cmake/make_archive.cmake
    DEPENDS urisplit urisplit_manual_pages)
endif()

# What the release and CI read of this build, as shell assignments.
file(WRITE ${PROJECT_BINARY_DIR}/urisplit-build.sh "URISPLIT_VERSION=${PROJECT_VERSION}
URISPLIT_RELEASE_EPOCH=${URISPLIT_RELEASE_EPOCH}
URISPLIT_MAINTAINER='${URISPLIT_DEB_MAINTAINER}'
URISPLIT_LINK=${URISPLIT_LINK}
URISPLIT_TOOL_LICENSE='${URISPLIT_TOOL_LICENSE}'
URISPLIT_ARCHIVE='${URISPLIT_ARCHIVE}'
")
