# The shared library's dynamic symbol table holds the exported functions and
# nothing else: no C++ symbol of ours or of the runtime leaks out.
if(NOT WIN32)
  add_test(NAME exports.dynamic_symbols
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/exports_test.sh
      $<TARGET_FILE:velkor> ${PROJECT_SOURCE_DIR}/cmake/velkor.map)
endif()
