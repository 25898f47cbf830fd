# The activation tests' own in-process server, zovtestsrv.dll, built from the same source on every
# platform: a Windows DLL with its four exports under mingw-w64, an ELF module named like one
# natively (our LoadLibraryA loads it from inside the machine).
add_library(zovtestsrv MODULE ${CMAKE_CURRENT_LIST_DIR}/modules/test_server.cpp)
target_link_libraries(zovtestsrv PRIVATE zov_win32)
set_target_properties(zovtestsrv PROPERTIES PREFIX "" SUFFIX ".dll")
if(WIN32)
  target_sources(zovtestsrv PRIVATE ${CMAKE_CURRENT_LIST_DIR}/modules/test_server.def)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(zovtestsrv PRIVATE -Wl,--enable-stdcall-fixup)
  endif()
endif()

target_include_directories(platform_com_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/modules)
add_dependencies(platform_com_test zovtestsrv)
# Natively the test copies the module into its scratch machine and registers it itself.
target_compile_definitions(platform_com_test PRIVATE
    ZOV_TEST_SERVER_BUILD_PATH="$<TARGET_FILE:zovtestsrv>")
# Under Wine the module is registered as on Windows, by regsvr32, around the test.
zov_regsvr32_fixture(NAME platform_com MODULE zovtestsrv FIXTURE zovtestsrv
                     TESTS platform_com_test)
