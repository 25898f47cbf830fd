# The module tests' own module, zovtestmod.dll: built from one source as a Windows DLL under
# mingw-w64 and as an ELF module named like one natively. Natively the test copies it into its
# scratch machine (it learns the build path from ZOV_TEST_MODULE_BUILD_PATH); under Wine it lies
# beside the test executable.
add_library(zovtestmod MODULE ${CMAKE_CURRENT_LIST_DIR}/modules/test_module.cpp)
target_link_libraries(zovtestmod PRIVATE zov_win32)
set_target_properties(zovtestmod PROPERTIES PREFIX "" SUFFIX ".dll" OUTPUT_NAME zovtestmod)

add_dependencies(platform_module_test zovtestmod)
if(NOT WIN32)
  target_compile_definitions(platform_module_test PRIVATE
      ZOV_TEST_MODULE_BUILD_PATH="$<TARGET_FILE:zovtestmod>")
endif()
