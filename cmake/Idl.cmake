# Interface definitions compiled with widl (mingw-w64-tools) on every platform, so that the vtable
# layout, the GUIDs and the enumerations come from one source:
#   zov_add_idl(<target> <file.idl> [TYPELIB])
# makes the static library <target> from the generated <file>_i.c (the GUID definitions) with the
# generated header <file>.h on its include path. With TYPELIB it also writes <file>.tlb for the
# target architecture (Windows builds only) and stores its path in the target property ZOV_TYPELIB.
# On POSIX the generated header includes the SDK-named headers of src/platform/include/sdk.

if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  find_program(ZOV_WIDL NAMES i686-w64-mingw32-widl REQUIRED)
  set(ZOV_WIDL_ARCH --win32)
else()
  find_program(ZOV_WIDL NAMES x86_64-w64-mingw32-widl REQUIRED)
  set(ZOV_WIDL_ARCH --win64)
endif()
# stdole2.tlb, which every type library imports, comes with Wine.
find_path(ZOV_STDOLE2_DIR stdole2.tlb
          PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows
          NO_CMAKE_FIND_ROOT_PATH)
set(ZOV_IDL_IMPORTS ${CMAKE_SOURCE_DIR}/cmake/idl)

function(zov_add_idl target idl)
  cmake_parse_arguments(ARG "TYPELIB" "" "" ${ARGN})
  get_filename_component(idl ${idl} ABSOLUTE)
  get_filename_component(base ${idl} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/idl)
  file(MAKE_DIRECTORY ${out})
  set(common ${ZOV_WIDL_ARCH} -I${ZOV_IDL_IMPORTS})
  add_custom_command(OUTPUT ${out}/${base}.h
      COMMAND ${ZOV_WIDL} ${common} -h -o ${out}/${base}.h ${idl}
      DEPENDS ${idl} ${ZOV_IDL_IMPORTS}/oaidl.idl VERBATIM)
  add_custom_command(OUTPUT ${out}/${base}_i.c
      COMMAND ${ZOV_WIDL} ${common} -u -o ${out}/${base}_i.c ${idl}
      DEPENDS ${idl} ${ZOV_IDL_IMPORTS}/oaidl.idl VERBATIM)
  set_source_files_properties(${out}/${base}_i.c PROPERTIES LANGUAGE CXX)
  add_library(${target} STATIC ${out}/${base}_i.c ${out}/${base}.h)
  target_include_directories(${target} PUBLIC ${out})
  target_link_libraries(${target} PUBLIC zov_win32)
  if(ARG_TYPELIB AND WIN32)
    if(NOT ZOV_STDOLE2_DIR)
      message(FATAL_ERROR "stdole2.tlb (from Wine) is needed to build type libraries")
    endif()
    add_custom_command(OUTPUT ${out}/${base}.tlb
        COMMAND ${CMAKE_COMMAND} -DWIDL=${ZOV_WIDL}
                "-DARGS=${common};-L${ZOV_STDOLE2_DIR};-t;-o;${out}/${base}.tlb;${idl}"
                -P ${CMAKE_SOURCE_DIR}/cmake/RunWidl.cmake
        DEPENDS ${idl} ${ZOV_IDL_IMPORTS}/oaidl.idl ${CMAKE_SOURCE_DIR}/cmake/RunWidl.cmake
        VERBATIM)
    add_custom_target(${target}_tlb DEPENDS ${out}/${base}.tlb)
    add_dependencies(${target} ${target}_tlb)
    set_target_properties(${target} PROPERTIES ZOV_TYPELIB ${out}/${base}.tlb)
  endif()
endfunction()
