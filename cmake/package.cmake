# Debian packages made by `cpack -G DEB` in a build folder, one per install
# component (see install.cmake), named the way Debian names a library's parts:
#   libvelkor1     the shared library and its SONAME link (the name follows
#                  the SONAME's VELKOR_ABI_VERSION)
#   libvelkor-dev  the header, the development link, CMake package, velkor.pc
#   velkor         the command and its manual page
#   python3-velkor the Python package (python/velkor), for Debian's python3
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
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/compress_manual.cmake)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# A shlibs file in the library's package, so what is built against it
# depends on it in turn. Its default policy (= this version) is right while
# a minor release may still change the interface.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)

set(CPACK_COMPONENTS_ALL lib dev python)
if(TARGET velkor_cli)
  list(APPEND CPACK_COMPONENTS_ALL tool)
endif()

# The Python package goes only into its Debian package: `cmake --install`
# leaves it out (a Python package is installed with pip, see README).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/velkor
  DESTINATION lib/python3/dist-packages COMPONENT python EXCLUDE_FROM_ALL
  FILES_MATCHING PATTERN "*.py" PATTERN "py.typed" PATTERN "__pycache__" EXCLUDE)

# Every package carries Debian's two documents in /usr/share/doc/<package>:
# the licence in the machine-readable copyright format, and a changelog
# (changelog.gz, the name Debian gives a native package's changelog).
# They too are for the packages only.
string(TIMESTAMP VELKOR_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)  # honours SOURCE_DATE_EPOCH
file(READ ${PROJECT_SOURCE_DIR}/LICENSE VELKOR_LICENSE)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${VELKOR_LICENSE}")
set(VELKOR_COPYRIGHT_HOLDER "${CMAKE_MATCH_1}")
# The licence's text after its copyright line, indented, a blank line as " .".
string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]*\n\n" "" VELKOR_LICENSE_TEXT "${VELKOR_LICENSE}")
string(STRIP "${VELKOR_LICENSE_TEXT}" VELKOR_LICENSE_TEXT)
string(REPLACE "\n\n" "\n.\n" VELKOR_LICENSE_TEXT "${VELKOR_LICENSE_TEXT}")
string(REPLACE "\n" "\n " VELKOR_LICENSE_TEXT "${VELKOR_LICENSE_TEXT}")
set(VELKOR_DEBIAN_DOC ${PROJECT_BINARY_DIR}/debian-doc)
file(WRITE ${VELKOR_DEBIAN_DOC}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: velkor
Upstream-Contact: ${VELKOR_PACKAGE_MAINTAINER}

Files: *
Copyright: ${VELKOR_COPYRIGHT_HOLDER}
License: Expat
 ${VELKOR_LICENSE_TEXT}
")
file(WRITE ${VELKOR_DEBIAN_DOC}/changelog
"velkor (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}; CHANGELOG.md in the sources lists its changes.

 -- ${VELKOR_PACKAGE_MAINTAINER}  ${VELKOR_PACKAGE_DATE}
")
# gzip -n: no name or time stamp in the file, as Debian wants it.
execute_process(COMMAND gzip -9nf ${VELKOR_DEBIAN_DOC}/changelog RESULT_VARIABLE VELKOR_GZIP_STATUS)
if(NOT VELKOR_GZIP_STATUS EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${VELKOR_DEBIAN_DOC}/changelog")
endif()

set(CPACK_DEBIAN_LIB_PACKAGE_NAME libvelkor${VELKOR_ABI_VERSION})
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
# An ldconfig trigger, as Debian asks of a shared library's package (CPack
# adds its own ldconfig calls to postinst and postrm besides).
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
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

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-velkor)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS python3)
set(CPACK_COMPONENT_PYTHON_DEPENDS lib)
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "technical facts and tags of MPEG audio files - Python 3
The velkor module reads the facts and tags of MPEG audio files (velkor.read)
and walks folders of them (velkor.scan) through the shared library, with
ctypes; it needs nothing but Python 3.8 or later and the library.")

foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} COMPONENT)
  install(FILES ${VELKOR_DEBIAN_DOC}/copyright ${VELKOR_DEBIAN_DOC}/changelog.gz
    DESTINATION share/doc/${CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

# dpkg-shlibdeps finds the library the command links in the build folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
set(CPACK_COMPONENT_TOOL_DEPENDS lib)
include(CPack)
