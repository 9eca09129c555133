# GoogleTest for the tests, pkg-config for the install test. With URISPLIT_TESTS left to its
# default, what cannot be built is left out with one line naming the package to install; with
# URISPLIT_TESTS set explicitly, a missing dependency stops the configuration.
macro(urisplit_without what package)
  set(hint "${what} was not found (apt-get install ${package})")
  if(URISPLIT_TESTS_BY_DEFAULT)
    message(STATUS "urisplit: ${ARGN} left out, as ${hint}")
  else()
    message(FATAL_ERROR "URISPLIT_TESTS is ON, but ${hint}")
  endif()
endmacro()

find_package(GTest QUIET)
if(NOT GTest_FOUND)
  urisplit_without(GoogleTest libgtest-dev "the tests are")
  set(URISPLIT_TESTS OFF)
endif()
find_program(URISPLIT_PKG_CONFIG NAMES pkg-config pkgconf)
if(URISPLIT_TESTS AND URISPLIT_INSTALL AND NOT URISPLIT_PKG_CONFIG)
  urisplit_without(pkg-config pkgconf "the install test is")
endif()
