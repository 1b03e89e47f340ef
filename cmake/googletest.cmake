# Where the tests' GoogleTest comes from, and whether the tests are built.
#
# GoogleTest is taken from its installed package (Debian: libgtest-dev) or,
# without one, built here from its sources (Debian: googletest, which puts
# them in /usr/src/googletest): a machine that has the sources but no root
# to install the package still runs every test.
#
# VELKOR_BUILD_TESTS is AUTO unless set to ON or OFF: AUTO decides again at
# every configure, so a build folder configured before GoogleTest was
# installed takes the tests up on its next configure.
set(VELKOR_BUILD_TESTS AUTO CACHE STRING
  "Build the tests: ON, OFF, or AUTO (when GoogleTest is found)")
set_property(CACHE VELKOR_BUILD_TESTS PROPERTY STRINGS AUTO ON OFF)
set(VELKOR_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
  "GoogleTest sources, built when no GoogleTest package is installed")

set(velkor_gtest_found OFF)
set(VELKOR_GTEST_FROM_SOURCES OFF)
if(NOT CMAKE_CROSSCOMPILING AND VELKOR_BUILD_TESTS)
  find_package(GTest QUIET)
  if(GTest_FOUND)
    set(velkor_gtest_found ON)
  elseif(EXISTS ${VELKOR_GTEST_SOURCE_DIR}/CMakeLists.txt)
    set(velkor_gtest_found ON)
    set(VELKOR_GTEST_FROM_SOURCES ON)
  endif()
endif()

if(VELKOR_BUILD_TESTS STREQUAL "AUTO")
  set(VELKOR_BUILD_TESTS ${velkor_gtest_found})
  if(NOT velkor_gtest_found AND NOT CMAKE_CROSSCOMPILING)
    message(STATUS "GoogleTest not found (Debian: libgtest-dev): the tests are not built")
  endif()
endif()
