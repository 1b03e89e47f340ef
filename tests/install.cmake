# The install test: cmake --install into a temporary prefix, then a C program
# built against it through find_package and through pkg-config.
set(VELKOR_INSTALL_TEST_FLAGS "")
if(VELKOR_SANITIZE)
  # The installed library is instrumented, so the program must be too.
  string(JOIN " " VELKOR_INSTALL_TEST_FLAGS ${VELKOR_SANITIZER_FLAGS})
endif()
add_test(NAME install.package
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install_test.sh
    ${PROJECT_BINARY_DIR} ${PROJECT_VERSION} ${VELKOR_ABI_VERSION} ${CMAKE_C_COMPILER}
    "${VELKOR_INSTALL_TEST_FLAGS}")
