# Installs the tool, the library with its header, a CMake package, a pkg-config file and the
# manual page, all below the install prefix; and sets up CPack for a Debian package.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(URISPLIT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/urisplit)
set(URISPLIT_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS urisplit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS uri_parse EXPORT urisplitTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES src/uri_parse.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/urisplit)
install(FILES man/urisplit.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(EXPORT urisplitTargets NAMESPACE urisplit:: DESTINATION ${URISPLIT_CMAKE_DIR})
configure_package_config_file(cmake/urisplitConfig.cmake.in urisplitConfig.cmake
                              INSTALL_DESTINATION ${URISPLIT_CMAKE_DIR})
write_basic_package_version_file(urisplitConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/urisplitConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/urisplitConfigVersion.cmake
        DESTINATION ${URISPLIT_CMAKE_DIR})

# The .pc file finds the prefix from its own place, so it stays right wherever it is installed.
file(RELATIVE_PATH URISPLIT_PC_TO_PREFIX /${URISPLIT_PC_DIR} /)
configure_file(cmake/urisplit.pc.in urisplit.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/urisplit.pc DESTINATION ${URISPLIT_PC_DIR})

set(CPACK_PACKAGE_NAME urisplit)
set(CPACK_PACKAGE_CONTACT "urisplit developers <urisplit@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_GENERATOR DEB)
include(CPack)
