# Run by CPack once it has made the packages: rebuilds each with dpkg-deb, the way Debian's own
# tools make them, so that two builds of one commit give the same bytes whatever the folder,
# umask, locale, time zone or time of the build:
# - every time stamp is the packages' time (package_time.cmake);
# - files belong to root, directories are 0755 and files 0644, or 0755 where executable;
# - ELF files lose their .comment section, which only names the compilers;
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

  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
  list(FILTER files EXCLUDE REGEX "^DEBIAN/")
  list(SORT files)
  set(md5sums "")
  foreach(file IN LISTS files)
    if(IS_SYMLINK ${root}/${file})
      continue()
    endif()
    file(READ ${root}/${file} magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46" OR magic STREQUAL "213c6172")  # ELF, or an ar archive
      execute_process(COMMAND ${CPACK_URISPLIT_OBJCOPY} --remove-section=.comment ${root}/${file}
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()
    file(MD5 ${root}/${file} sum)
    string(APPEND md5sums "${sum}  ${file}\n")
  endforeach()
  file(WRITE ${root}/DEBIAN/md5sums "${md5sums}")

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
