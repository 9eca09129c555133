# Run at install time: the pkg-config file for the prefix being installed to, configured into a
# folder of the build's own for that prefix, so that installs to other prefixes, even at the same
# time, do not meet, and installed by file(INSTALL) as CMake installs any file: 0644, reported,
# in the manifest, and left alone when up to date. The prefix is named literally, so that
# pkg-config recognises the system folders under /usr and leaves them out of its output. An
# absolute include or library folder is taken as it is; spaces are escaped, as pkg-config reads
# them. Reads URISPLIT_PC_IN, URISPLIT_PC_STAGE, URISPLIT_PC_DIR, URISPLIT_PC_INCLUDEDIR,
# URISPLIT_PC_LIBDIR, PROJECT_DESCRIPTION and PROJECT_VERSION.
string(REPLACE " " "\\ " URISPLIT_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
foreach(dir INCLUDEDIR LIBDIR)
  if(IS_ABSOLUTE "${URISPLIT_PC_${dir}}")
    string(REPLACE " " "\\ " URISPLIT_PC_${dir} "${URISPLIT_PC_${dir}}")
  else()
    set(URISPLIT_PC_${dir} "\${prefix}/${URISPLIT_PC_${dir}}")
  endif()
endforeach()
string(MD5 destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
file(READ ${URISPLIT_PC_IN} pc_text)
file(CONFIGURE OUTPUT ${URISPLIT_PC_STAGE}/${destination}/urisplit.pc CONTENT "${pc_text}" @ONLY)
if(NOT IS_ABSOLUTE "${URISPLIT_PC_DIR}")
  set(URISPLIT_PC_DIR "${CMAKE_INSTALL_PREFIX}/${URISPLIT_PC_DIR}")
endif()
file(INSTALL ${URISPLIT_PC_STAGE}/${destination}/urisplit.pc DESTINATION ${URISPLIT_PC_DIR})
