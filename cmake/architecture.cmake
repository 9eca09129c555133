# urisplit_architecture(KEY): the row of architectures.txt whose Debian architecture or GNU
# triplet is KEY, in URISPLIT_DEB_ARCH, URISPLIT_TRIPLET, URISPLIT_RPM_ARCH,
# URISPLIT_EMULATOR_NAME, URISPLIT_LIBC_TRIPLET and URISPLIT_RPM_RELEASED (rpm or -); all empty
# for an architecture that the table does not have.
function(urisplit_architecture key)
  string(REGEX REPLACE "^i386-linux-gnu$" "i686-linux-gnu" key "${key}")  # multiarch, and the compiler's
  file(STRINGS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/architectures.txt rows REGEX "^[a-z]")
  set(fields "")
  foreach(row IN LISTS rows)
    string(REGEX REPLACE " +" ";" row "${row}")
    list(GET row 0 1 keys)
    if(key IN_LIST keys)
      set(fields ${row})
    endif()
  endforeach()
  foreach(name DEB_ARCH TRIPLET RPM_ARCH EMULATOR_NAME LIBC_TRIPLET RPM_RELEASED)
    list(POP_FRONT fields value)
    set(URISPLIT_${name} "${value}" PARENT_SCOPE)
  endforeach()
endfunction()
