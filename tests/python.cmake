# The Python package's tests (python/tests) against the library and the
# command just built.
set(VELKOR_PYTHON_ENV PYTHONDONTWRITEBYTECODE=1 VELKOR_LIBRARY=$<TARGET_FILE:velkor>)
if(TARGET velkor_cli)
  list(APPEND VELKOR_PYTHON_ENV VELKOR_COMMAND=$<TARGET_FILE:velkor_cli>)
endif()
if(VELKOR_SANITIZE)
  # The interpreter is not instrumented: the sanitizers' runtimes must load
  # first, and their leak checker would report Python's own allocations.
  foreach(runtime asan ubsan)
    execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=lib${runtime}.so
      OUTPUT_VARIABLE VELKOR_${runtime} OUTPUT_STRIP_TRAILING_WHITESPACE)
  endforeach()
  list(APPEND VELKOR_PYTHON_ENV "LD_PRELOAD=${VELKOR_asan} ${VELKOR_ubsan}" ASAN_OPTIONS=detect_leaks=0)
endif()
add_test(NAME python COMMAND python3 -m unittest discover -s tests -v
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}/python)
set_tests_properties(python PROPERTIES ENVIRONMENT "${VELKOR_PYTHON_ENV}")

# The README's offline venv install (the same in every build: not sanitized).
if(NOT VELKOR_SANITIZE AND NOT VELKOR_TSAN)
  add_test(NAME python_install COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/python_install_test.sh
    ${PROJECT_SOURCE_DIR} $<TARGET_FILE:velkor>)
  set_tests_properties(python_install PROPERTIES SKIP_RETURN_CODE 77)
endif()

# The package's copy of the header's numbers and records, compiled against
# velkor.h.
add_test(NAME python.header
  COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/python_header_test.py ${CMAKE_C_COMPILER} ${VELKOR_PUBLIC_INCLUDE_DIRS})
