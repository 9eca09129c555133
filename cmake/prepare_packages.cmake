# Run by CPack for each generator once it has installed the components, before it packages
# them. Each component is installed with the files of both package formats; this drops the
# other format's: Debian's copyright, changelog and lintian overrides from an RPM, the
# licence that an RPM marks as such from a .deb. For an RPM, which is built from this tree as
# it is, it also sets what the .deb files get when they are rebuilt: modes 0644, or 0755 where
# executable (and for a shared library), every time stamp the packages' time, and
# SOURCE_DATE_EPOCH for rpmbuild.
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

if(CPACK_GENERATOR STREQUAL "RPM")
  include(${CPACK_URISPLIT_SOURCE_DIR}/cmake/package_time.cmake)
  execute_process(COMMAND chmod -R u=rwX,go=rX ${CPACK_TEMPORARY_DIRECTORY}
                  COMMAND_ERROR_IS_FATAL ANY)
  # Debian installs shared libraries without the execute bit; RPM-based systems want it.
  file(GLOB_RECURSE libraries ${CPACK_TEMPORARY_DIRECTORY}/*.so.*)
  if(libraries)
    execute_process(COMMAND chmod 0755 ${libraries} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  execute_process(COMMAND find ${CPACK_TEMPORARY_DIRECTORY} -exec touch -h -d @${epoch} {} +
                  COMMAND_ERROR_IS_FATAL ANY)
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
