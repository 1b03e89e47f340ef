# The exports: the list (cmake/exports.txt) against the header's declarations,
# and the shared library's dynamic symbol table against the list, so no C++
# symbol of ours or of the runtime leaks out.
add_test(NAME exports.list_matches_header
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/export_list_test.sh
    ${VELKOR_EXPORT_LIST} ${CMAKE_C_COMPILER} ${VELKOR_PUBLIC_INCLUDE_DIRS})
if(NOT WIN32)
  add_test(NAME exports.dynamic_symbols
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/exports_test.sh $<TARGET_FILE:velkor> ${VELKOR_EXPORT_LIST})
endif()
