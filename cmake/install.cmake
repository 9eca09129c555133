# Installs the tool with its manual page (component tool), and the library with its headers,
# CMake package, pkg-config file and manual page (component dev; a shared library itself is
# component lib), all below the install prefix, with the licence and the notices of what a
# static tool carries in the doc folder; then sets up the packages (packages.cmake).

# Debian's multiarch layout, which its own packages use, for every prefix.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CMAKE_INSTALL_LIBDIR)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
set(URISPLIT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/urisplit)

if(URISPLIT_TOOL)
  install(TARGETS urisplit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
  install(FILES ${man_dir}/urisplit.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
endif()
install(TARGETS liburisplit EXPORT urisplitTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES src/uri_parse.h src/urisplit.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/urisplit
        COMPONENT dev)
install(FILES ${man_dir}/uri_parse.3.gz ${man_dir}/urisplit_parse_uri.3.gz
              ${man_dir}/urisplit_strremove.3.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT dev)
install(EXPORT urisplitTargets NAMESPACE urisplit:: DESTINATION ${URISPLIT_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(cmake/urisplitConfig.cmake.in urisplitConfig.cmake
                              INSTALL_DESTINATION ${URISPLIT_CMAKE_DIR})
write_basic_package_version_file(urisplitConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/urisplitConfig.cmake ${PROJECT_BINARY_DIR}/urisplitConfigVersion.cmake
        DESTINATION ${URISPLIT_CMAKE_DIR} COMPONENT dev)
# The .pc file is written when installing, once the prefix (--prefix, or CPack's /usr) is known.
install(CODE "set(URISPLIT_PC_INCLUDEDIR [[${CMAKE_INSTALL_INCLUDEDIR}]])
set(URISPLIT_PC_LIBDIR [[${CMAKE_INSTALL_LIBDIR}]])
set(URISPLIT_PC_DIR [[${CMAKE_INSTALL_LIBDIR}/pkgconfig]])
set(URISPLIT_PC_IN [[${PROJECT_SOURCE_DIR}/cmake/urisplit.pc.in]])
set(URISPLIT_PC_STAGE [[${PROJECT_BINARY_DIR}/pkgconfig]])
set(PROJECT_DESCRIPTION [[${PROJECT_DESCRIPTION}]])
set(PROJECT_VERSION ${PROJECT_VERSION})
include([[${PROJECT_SOURCE_DIR}/cmake/write_pc.cmake]])" COMPONENT dev)

include(${CMAKE_CURRENT_LIST_DIR}/notices.cmake)
install(FILES LICENSE ${URISPLIT_NOTICES} DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT license)
include(${CMAKE_CURRENT_LIST_DIR}/packages.cmake)
