# What `cmake --install` puts where: the header, the shared library, the
# velkor command and its manual page, a CMake package (find_package(velkor)
# gives velkor::velkor) and a pkg-config file. The version comes from the
# project version alone.
#
# Every file belongs to a component, which cmake/package.cmake makes into a
# Debian package: lib (the shared library as programs load it), dev (what
# building against it needs) and tool (the command and its manual page).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_property(TARGET velkor PROPERTY EXPORT_NAME velkor)

install(TARGETS velkor EXPORT velkorTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT lib
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(FILES ${PROJECT_SOURCE_DIR}/include/velkor.h ${PROJECT_SOURCE_DIR}/include/velkor_analysis.h
  ${PROJECT_SOURCE_DIR}/include/velkor_api.h ${PROJECT_BINARY_DIR}/include/velkor_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

if(TARGET velkor_cli)
  install(TARGETS velkor_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
  install(FILES ${PROJECT_SOURCE_DIR}/doc/velkor.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
  # The --json layout, which the manual page points to.
  install(FILES ${PROJECT_SOURCE_DIR}/doc/json.md
    DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tool)
endif()

# The CMake package.
set(VELKOR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/velkor)
install(EXPORT velkorTargets NAMESPACE velkor::
  DESTINATION ${VELKOR_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/velkorConfig.cmake.in
  ${PROJECT_BINARY_DIR}/velkorConfig.cmake INSTALL_DESTINATION ${VELKOR_CMAKE_DIR})
# Until 1.0 a minor release may change the interface (and then moves the
# SONAME's VELKOR_ABI_VERSION), so a request matches only its own major.minor.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/velkorConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/velkorConfig.cmake
  ${PROJECT_BINARY_DIR}/velkorConfigVersion.cmake
  DESTINATION ${VELKOR_CMAKE_DIR} COMPONENT dev)

# The pkg-config file finds its prefix relative to itself, so the install
# stays correct whatever --prefix `cmake --install` is given.
if(IS_ABSOLUTE ${CMAKE_INSTALL_LIBDIR})
  set(VELKOR_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
  set(VELKOR_PC_LIBDIR ${CMAKE_INSTALL_LIBDIR})
else()
  file(RELATIVE_PATH VELKOR_PC_UP /p/${CMAKE_INSTALL_LIBDIR}/pkgconfig /p)
  string(REGEX REPLACE "/$" "" VELKOR_PC_UP "${VELKOR_PC_UP}")
  set(VELKOR_PC_PREFIX "\${pcfiledir}/${VELKOR_PC_UP}")
  set(VELKOR_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE ${CMAKE_INSTALL_INCLUDEDIR})
  set(VELKOR_PC_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
else()
  set(VELKOR_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/velkor.pc.in ${PROJECT_BINARY_DIR}/velkor.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/velkor.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
