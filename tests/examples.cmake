# The examples in examples/, each run against the library just built.
set(VELKOR_EXAMPLE_FLAGS "")
if(VELKOR_SANITIZE)
  string(JOIN " " VELKOR_EXAMPLE_FLAGS ${VELKOR_SANITIZER_FLAGS})
endif()
foreach(language c python pascal)
  add_test(NAME examples.${language}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/examples_test.sh ${language}
      ${PROJECT_BINARY_DIR} ${CMAKE_C_COMPILER} "${VELKOR_EXAMPLE_FLAGS}")
endforeach()

# velkor's own interface from C.
add_test(NAME examples.c_facts
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/facts_example_test.sh ${PROJECT_BINARY_DIR} ${CMAKE_C_COMPILER}
    "${VELKOR_EXAMPLE_FLAGS}")
