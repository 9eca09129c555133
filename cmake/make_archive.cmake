# Makes ARCHIVE, the portable .tar.gz of the tool, bit for bit reproducible: the stripped tool,
# its manual page, the licence and the notices of what the tool carries in one folder named like
# the archive, laid out as under a prefix (bin, share/man/man1, share/doc/urisplit), at time
# EPOCH or SOURCE_DATE_EPOCH. Run by the build as cmake -P, with BUILD_DIR, ARCHIVE, EPOCH and
# NOTICES (the files for share/doc/urisplit, separated by |).
string(REGEX REPLACE "^.*/|\\.tar\\.gz$" "" name "${ARCHIVE}")
set(stage ${BUILD_DIR}/archive)
set(root ${stage}/${name})
file(REMOVE_RECURSE ${stage})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --component tool
                        --prefix ${stage}/install --strip OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(GLOB_RECURSE tool ${stage}/install/*)
set(page ${tool})
list(FILTER tool INCLUDE REGEX "/bin/urisplit$")
list(FILTER page INCLUDE REGEX "/man1/urisplit\\.1\\.gz$")
file(COPY ${tool} DESTINATION ${root}/bin)
file(COPY ${page} DESTINATION ${root}/share/man/man1)
string(REPLACE "|" ";" notices "${NOTICES}")
file(COPY ${notices} DESTINATION ${root}/share/doc/urisplit)

# Files only, no folders: extracted over an existing tree (/usr/local), tar then creates what is
# missing and leaves the owner, mode and time of every existing folder as they are.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(EPOCH $ENV{SOURCE_DATE_EPOCH})
endif()
file(GLOB_RECURSE members LIST_DIRECTORIES false RELATIVE ${stage} ${root}/*)
list(SORT members)
execute_process(COMMAND tar --create --format=gnu --no-recursion --mtime=@${EPOCH} --owner=0
                        --group=0 --numeric-owner --mode=u=rwX,go=rX -C ${stage} ${members}
                COMMAND gzip -9n OUTPUT_FILE ${ARCHIVE} COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "urisplit: made ${ARCHIVE}")
