# Run at install time: writes the pkg-config file for the prefix being installed to straight
# into its place (under DESTDIR), so that installs from one build folder to other prefixes, even
# at the same time, each get their own. The prefix is named literally, so that pkg-config
# recognises the system folders under /usr and leaves them out of its output. An absolute
# include or library folder is taken as it is; spaces are escaped, as pkg-config reads them.
# Reads URISPLIT_PC_IN, URISPLIT_PC_DIR, URISPLIT_PC_INCLUDEDIR, URISPLIT_PC_LIBDIR,
# PROJECT_DESCRIPTION and PROJECT_VERSION.
string(REPLACE " " "\\ " URISPLIT_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
foreach(dir INCLUDEDIR LIBDIR)
  if(IS_ABSOLUTE "${URISPLIT_PC_${dir}}")
    string(REPLACE " " "\\ " URISPLIT_PC_${dir} "${URISPLIT_PC_${dir}}")
  else()
    set(URISPLIT_PC_${dir} "\${prefix}/${URISPLIT_PC_${dir}}")
  endif()
endforeach()
if(NOT IS_ABSOLUTE "${URISPLIT_PC_DIR}")
  set(URISPLIT_PC_DIR "${CMAKE_INSTALL_PREFIX}/${URISPLIT_PC_DIR}")
endif()
set(pc_file "$ENV{DESTDIR}${URISPLIT_PC_DIR}/urisplit.pc")
file(READ ${URISPLIT_PC_IN} pc_text)
string(CONFIGURE "${pc_text}" pc_text @ONLY)
set(installed_text "")
if(EXISTS ${pc_file})
  file(READ ${pc_file} installed_text)
endif()
if(pc_text STREQUAL installed_text)
  message(STATUS "Up-to-date: ${pc_file}")
else()
  message(STATUS "Installing: ${pc_file}")
  file(WRITE ${pc_file} "${pc_text}")
endif()
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${pc_file}")
