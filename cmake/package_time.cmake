# The time stamp of everything packaged, in seconds since 1970, into epoch: SOURCE_DATE_EPOCH,
# or else the time of the last commit, or else (outside a git checkout, as from a tarball) the
# release time. Reads CPACK_URISPLIT_SOURCE_DIR and CPACK_URISPLIT_RELEASE_EPOCH.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  # Only this project's own checkout counts, not one that a tarball happens to lie in.
  execute_process(COMMAND git -C ${CPACK_URISPLIT_SOURCE_DIR} rev-parse --show-toplevel
                  OUTPUT_VARIABLE top ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND git -C ${CPACK_URISPLIT_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE epoch RESULT_VARIABLE git_failed ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(REAL_PATH "${CPACK_URISPLIT_SOURCE_DIR}" source_dir)
  if(top)
    file(REAL_PATH "${top}" top)
  endif()
  if(git_failed OR NOT top STREQUAL source_dir OR NOT epoch MATCHES "^[0-9]+$")
    set(epoch ${CPACK_URISPLIT_RELEASE_EPOCH})
  endif()
endif()
