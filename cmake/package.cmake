# Debian packages made by `cpack -G DEB` in a build folder, one per install
# component (see install.cmake), named the way Debian names a library's parts:
#   libvelkor1     the shared library and its SONAME link (the name follows
#                  the SONAME's VELKOR_ABI_VERSION)
#   libvelkor-dev  the header, the development link, CMake package, velkor.pc
#   velkor         the command and its manual page
# The command uses the shared library like any other program, so its package
# depends on libvelkor1; dpkg-shlibdeps (Debian: dpkg-dev) works out the
# dependencies on the C and C++ runtimes.
# Configure with -DCMAKE_INSTALL_PREFIX=/usr so the library lands in the
# multiarch folder (/usr/lib/x86_64-linux-gnu), where Debian keeps its own.
if(WIN32 OR CMAKE_CROSSCOMPILING)
  return()
endif()

set(VELKOR_PACKAGE_MAINTAINER "velkor developers <velkor@example.org>" CACHE STRING
  "The Maintainer field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VELKOR_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# A shlibs file in the library's package, so what is built against it
# depends on it in turn. Its default policy (= this version) is right while
# a minor release may still change the interface.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)

set(CPACK_COMPONENTS_ALL lib dev)
if(TARGET velkor_cli)
  list(APPEND CPACK_COMPONENTS_ALL tool)
endif()

set(CPACK_DEBIAN_LIB_PACKAGE_NAME libvelkor${VELKOR_ABI_VERSION})
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIB_DESCRIPTION "technical facts and tags of MPEG audio files - library
velkor reads the frame header, Xing VBR header, bitrate, sampling rate,
channel mode, frame count, playing time and the ID3v1 and ID3v2 tags of
MPEG audio files (.mp3), and rewrites ID3v1 tags, through a small C
interface. This package holds the shared library.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libvelkor-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DEPENDS lib)
set(CPACK_DEBIAN_DEV_DESCRIPTION "technical facts and tags of MPEG audio files - development files
The header velkor.h, the link to the shared library, the CMake package
(find_package(velkor) gives velkor::velkor) and velkor.pc for pkg-config.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME velkor)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_TOOL_DESCRIPTION "technical facts and tags of MPEG audio files - command
The velkor command shows version and layer, bitrate, sampling rate, mode,
playing time, size, frame count and tags of MPEG audio files, as text or
JSON Lines, for single files or whole folders, and rewrites ID3v1 tags.")

# dpkg-shlibdeps finds the library the command links in the build folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
set(CPACK_COMPONENT_TOOL_DEPENDS lib)
include(CPack)
