# Run by CPack once it has made the packages: rebuilds each with dpkg-deb, the way Debian's own
# tools make them, so that two builds of one commit give the same bytes whatever the folder,
# umask, locale, time zone or time of the build:
# - every time stamp is the packages' time (package_time.cmake);
# - files belong to root, directories are 0755 and files 0644, or 0755 where executable;
# - the files themselves are the ones CPack installed and stripped, as in the RPMs and the
#   portable archive;
# - a shared library is announced to ldconfig by a trigger rather than by maintainer scripts;
# - the library packages are Multi-Arch: same, and the static tool's control file names the
#   source packages of the code linked into it (Static-Built-Using).
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
include(${CPACK_URISPLIT_SOURCE_DIR}/cmake/package_time.cmake)

foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(root ${deb}.tree)
  file(REMOVE_RECURSE ${root})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${root} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${root}/DEBIAN/postinst ${root}/DEBIAN/postrm)
  file(READ ${root}/DEBIAN/control control)
  string(REGEX REPLACE "\n+$" "\n" control "${control}")
  string(REGEX MATCH "Package: [^\n]+" package "${control}")
  string(REGEX REPLACE "^Package: " "" package "${package}")
  if(package IN_LIST CPACK_URISPLIT_MULTIARCH_SAME)
    string(APPEND control "Multi-Arch: same\n")
  endif()
  if(package STREQUAL "urisplit" AND CPACK_URISPLIT_STATIC_BUILT_USING)
    string(APPEND control "Static-Built-Using: ${CPACK_URISPLIT_STATIC_BUILT_USING}\n")
  endif()
  file(WRITE ${root}/DEBIAN/control "${control}")
  if(EXISTS ${root}/DEBIAN/shlibs)
    file(WRITE ${root}/DEBIAN/triggers "activate-noawait ldconfig\n")
  endif()
  execute_process(COMMAND chmod -R u=rwX,go=rX ${root} COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB_RECURSE libraries ${root}/*.so.*)
  if(libraries)
    execute_process(COMMAND chmod 0644 ${libraries} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  execute_process(COMMAND find ${root} -exec touch -h -d @${epoch} {} +
                  COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${deb})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch}
                          dpkg-deb --root-owner-group -Zgzip -z9 --build ${root} ${deb}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${root})
endforeach()
