# Run by CPack for each package format, before it packs (a pre-build script) and, for the .deb
# files, after (a post-build script), so that two builds of one commit give the same bytes
# whatever the folder, umask, locale, time zone or time of the build. Before packing, each
# format's files are left out of the other's packages (Debian's copyright, changelog and lintian
# overrides; the licence an RPM marks %license), and the tree is normalised: owned by root,
# folders 0755, files 0644 or 0755 where executable (a shared library 0644 on Debian, 0755 on
# RPM-based systems), every time stamp the release time (or SOURCE_DATE_EPOCH). After, each .deb
# is made again with dpkg-deb from its files as CPack stripped them, the way Debian's own tools
# make it: with the library packages Multi-Arch: same, the static tool's control file naming
# the source packages of the code linked into it (Static-Built-Using), and a shared library
# announced to ldconfig by a trigger rather than by maintainer scripts.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(CPACK_URISPLIT_EPOCH $ENV{SOURCE_DATE_EPOCH})
endif()
set(ENV{SOURCE_DATE_EPOCH} ${CPACK_URISPLIT_EPOCH})  # for rpmbuild and dpkg-deb
function(urisplit_normalise root library_mode)
  execute_process(COMMAND chmod -R u=rwX,go=rX ${root} COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB_RECURSE libraries ${root}/*.so.*)
  if(libraries)
    execute_process(COMMAND chmod ${library_mode} ${libraries} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  execute_process(COMMAND find ${root} -exec touch -h -d @${CPACK_URISPLIT_EPOCH} {} +
                  COMMAND_ERROR_IS_FATAL ANY)
endfunction()

if(NOT DEFINED CPACK_PACKAGE_FILES)  # before packing
  file(GLOB_RECURSE files LIST_DIRECTORIES false ${CPACK_TEMPORARY_DIRECTORY}/*)
  if(CPACK_GENERATOR STREQUAL "RPM")
    list(FILTER files INCLUDE REGEX "/share/(doc/[^/]+/(copyright|changelog\\.gz)|lintian/.*)$")
  else()
    list(FILTER files INCLUDE REGEX "/share/licenses/")
  endif()
  if(files)
    file(REMOVE ${files})
    # Folders left empty go too, deepest first, as the packages list every folder they hold.
    execute_process(COMMAND find ${CPACK_TEMPORARY_DIRECTORY} -depth -type d -empty -delete
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  set(library_mode 0644)
  if(CPACK_GENERATOR STREQUAL "RPM")
    set(library_mode 0755)
  endif()
  urisplit_normalise(${CPACK_TEMPORARY_DIRECTORY} ${library_mode})
  return()
endif()

foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(root ${deb}.tree)
  file(REMOVE_RECURSE ${root})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${root} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${root}/DEBIAN/postinst ${root}/DEBIAN/postrm)
  file(READ ${root}/DEBIAN/control control)
  string(REGEX REPLACE "\n+$" "\n" control "${control}")
  string(REGEX MATCH "Package: ([^\n]+)" package "${control}")
  if(CMAKE_MATCH_1 IN_LIST CPACK_URISPLIT_MULTIARCH_SAME)
    string(APPEND control "Multi-Arch: same\n")
  endif()
  if(CMAKE_MATCH_1 STREQUAL "urisplit" AND CPACK_URISPLIT_STATIC_BUILT_USING)
    string(APPEND control "Static-Built-Using: ${CPACK_URISPLIT_STATIC_BUILT_USING}\n")
  endif()
  file(WRITE ${root}/DEBIAN/control "${control}")
  if(EXISTS ${root}/DEBIAN/shlibs)
    file(WRITE ${root}/DEBIAN/triggers "activate-noawait ldconfig\n")
  endif()
  urisplit_normalise(${root} 0644)
  file(REMOVE ${deb})
  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip -z9 --build ${root} ${deb}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${root})
endforeach()
