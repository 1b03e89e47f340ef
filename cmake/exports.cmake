# The linker's export files, made from the one export list (exports.txt):
# the GNU version script that keeps every other symbol of libvelkor.so
# local, and the .def file of velkor.dll with each stdcall name's argument
# bytes. Sets VELKOR_EXPORT_LIST, VELKOR_EXPORT_MAP and VELKOR_DEF_FILE.
set(VELKOR_EXPORT_LIST ${PROJECT_SOURCE_DIR}/cmake/exports.txt)
set(VELKOR_EXPORT_MAP ${PROJECT_BINARY_DIR}/velkor.map)
set(VELKOR_DEF_FILE ${PROJECT_BINARY_DIR}/velkor.def)
# A changed list configures the build again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VELKOR_EXPORT_LIST})

set(velkor_map_names "")
set(velkor_def_names "")
file(STRINGS ${VELKOR_EXPORT_LIST} velkor_export_lines)
foreach(line IN LISTS velkor_export_lines)
  if(line MATCHES "^[ \t]*(#|$)")
    continue()
  endif()
  if(NOT line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)[ \t]+([0-9]+)([ \t]+(windows|posix))?[ \t]*$")
    message(FATAL_ERROR "${VELKOR_EXPORT_LIST}: not an export line: '${line}'")
  endif()
  set(name ${CMAKE_MATCH_1})
  set(bytes ${CMAKE_MATCH_2})
  set(platform "${CMAKE_MATCH_4}")
  if(NOT platform STREQUAL "windows")
    string(APPEND velkor_map_names "    ${name};\n")
  endif()
  if(NOT platform STREQUAL "posix")
    string(APPEND velkor_def_names "    ${name}@${bytes}\n")
  endif()
endforeach()

file(CONFIGURE OUTPUT ${VELKOR_EXPORT_MAP} @ONLY CONTENT
"/* Made from cmake/exports.txt: the dynamic symbols of libvelkor.so, the
   exported functions and nothing else. */
{
  global:
@velkor_map_names@  local:
    *;
};
")

# --kill-at exports each entry under its plain name, which applications look
# up; the import library made from this file maps the decorated name a C
# caller's compiler uses to that plain name.
file(CONFIGURE OUTPUT ${VELKOR_DEF_FILE} @ONLY CONTENT
"; Made from cmake/exports.txt: the exports of velkor.dll, each the stdcall
; symbol with its argument bytes.
LIBRARY velkor.dll
EXPORTS
@velkor_def_names@")
