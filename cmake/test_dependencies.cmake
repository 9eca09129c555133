# GoogleTest for the tests (and in a cross build, the emulator that runs them), pkg-config for
# the install test. With URISPLIT_TESTS at AUTO, what cannot be built is left out with one line
# naming the package to install; with URISPLIT_TESTS ON, a missing dependency stops the
# configuration.
macro(urisplit_without what package)
  set(hint "${what} was not found (apt-get install ${package})")
  string(TOUPPER "${URISPLIT_TESTS}" tests_wanted)
  if(tests_wanted STREQUAL "AUTO")
    message(STATUS "urisplit: ${ARGN} left out, as ${hint}")
  else()
    message(FATAL_ERROR "URISPLIT_TESTS is ${URISPLIT_TESTS}, but ${hint}")
  endif()
endmacro()

# A cross build cannot use the build machine's GoogleTest; it builds the source that Debian's
# libgtest-dev ships, for the target.
set(URISPLIT_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source, for cross builds")
if(CMAKE_CROSSCOMPILING AND EXISTS ${URISPLIT_GTEST_SOURCE_DIR}/CMakeLists.txt)
  set(BUILD_GMOCK OFF CACHE BOOL "")
  set(INSTALL_GTEST OFF CACHE BOOL "")
  add_subdirectory(${URISPLIT_GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest QUIET)
endif()
if(NOT TARGET GTest::gtest_main)
  urisplit_without(GoogleTest libgtest-dev "the tests are")
  set(URISPLIT_TESTS OFF)
endif()
if(URISPLIT_TESTS AND CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  urisplit_without("the emulator ${URISPLIT_QEMU_NAME}" qemu-user "the tests are")
  set(URISPLIT_TESTS OFF)
endif()
find_program(URISPLIT_PKG_CONFIG NAMES pkg-config pkgconf)
if(URISPLIT_TESTS AND URISPLIT_INSTALL AND NOT URISPLIT_PKG_CONFIG)
  urisplit_without(pkg-config pkgconf "the install test is")
endif()
