# The 32-bit Windows DLL: velkor.dll, exporting exactly the plain names of
# the .def file made from exports.txt (exports.cmake) and depending on
# nothing but system DLLs.

# No "lib" prefix and no version suffix: callers load "velkor.dll".
set_target_properties(velkor PROPERTIES PREFIX "" OUTPUT_NAME velkor)

target_sources(velkor PRIVATE ${VELKOR_DEF_FILE})
set_property(TARGET velkor APPEND PROPERTY LINK_DEPENDS ${VELKOR_DEF_FILE})

# --kill-at drops the @N of the stdcall names from the export table, which
# would otherwise hold the decorated forms too (from the dllexport
# attributes). The compiler's C and C++ runtimes go inside the DLL, so a
# caller's machine needs only the system DLLs.
target_link_options(velkor PRIVATE
  LINKER:--kill-at -static -static-libgcc -static-libstdc++)

# The linker's own import library would name the plain exports, which a C
# caller compiling against velkor.h (stdcall, so AddNums@8) cannot link to.
find_program(VELKOR_DLLTOOL NAMES ${CMAKE_DLLTOOL} i686-w64-mingw32-dlltool dlltool)
if(VELKOR_DLLTOOL)
  add_custom_command(TARGET velkor POST_BUILD
    COMMAND ${VELKOR_DLLTOOL} --kill-at --input-def ${VELKOR_DEF_FILE}
            --dllname velkor.dll --output-lib $<TARGET_LINKER_FILE:velkor>
    VERBATIM)
endif()
