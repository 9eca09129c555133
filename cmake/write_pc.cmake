# Run at install time: writes the pkg-config file for the prefix being installed to, named
# literally, so that pkg-config recognises the system folders under /usr and leaves them out of
# its output. An absolute include or library folder is taken as it is; spaces are escaped, as
# pkg-config reads them.
string(REPLACE " " "\\ " URISPLIT_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
foreach(dir INCLUDEDIR LIBDIR)
  if(IS_ABSOLUTE "${URISPLIT_PC_${dir}}")
    string(REPLACE " " "\\ " URISPLIT_PC_${dir} "${URISPLIT_PC_${dir}}")
  else()
    set(URISPLIT_PC_${dir} "\${prefix}/${URISPLIT_PC_${dir}}")
  endif()
endforeach()
configure_file(${URISPLIT_PC_IN} ${URISPLIT_PC_OUT} @ONLY)
