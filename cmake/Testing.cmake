# GoogleTest for the native and the Windows builds, and the Wine harness that runs the Windows tests.
enable_testing()
include(GoogleTest)

if(WIN32)
  # Debian's googletest source package, compiled with the cross compiler (once per build folder).
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
  endif()
else()
  find_package(GTest REQUIRED CONFIG)
endif()

set(ZOV_RUN_WINDOWS_TESTS OFF)
if(WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  find_program(ZOV_WINE wine)
  find_program(ZOV_WINESERVER wineserver PATHS /usr/lib/wine)
  if(ZOV_WINE AND ZOV_WINESERVER)
    set(ZOV_RUN_WINDOWS_TESTS ON)
    set(ZOV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(ZOV_WINE_ENV WINEPREFIX=${ZOV_WINEPREFIX} WINEDEBUG=-all
        "WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d")
    # A throw-away prefix, made once at configure time: two Wine processes starting together on a
    # brand-new prefix do not get along.
    if(NOT EXISTS ${ZOV_WINEPREFIX}/system.reg)
      message(STATUS "Creating the Wine prefix ${ZOV_WINEPREFIX}")
      execute_process(COMMAND /usr/bin/env ${ZOV_WINE_ENV} ${ZOV_WINE} wineboot -i
                      OUTPUT_QUIET ERROR_QUIET)
      execute_process(COMMAND /usr/bin/env ${ZOV_WINE_ENV} ${ZOV_WINESERVER} -w
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
    set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env ${ZOV_WINE_ENV} ${ZOV_WINE})
    # One wine server for the whole test run, stopped at its end.
    add_test(NAME wine_server_start
             COMMAND /bin/sh -c "${ZOV_WINESERVER} -p60 </dev/null >/dev/null 2>&1; ${ZOV_WINE} cmd.exe /c exit </dev/null >/dev/null 2>&1; exit 0")
    set_tests_properties(wine_server_start PROPERTIES FIXTURES_SETUP wine
        ENVIRONMENT "WINEPREFIX=${ZOV_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d")
    add_test(NAME wine_server_stop COMMAND ${ZOV_WINESERVER} -k)
    set_tests_properties(wine_server_stop PROPERTIES FIXTURES_CLEANUP wine
        ENVIRONMENT "WINEPREFIX=${ZOV_WINEPREFIX}")
  endif()
endif()

# zov_add_gtest(NAME SOURCES...): one GoogleTest executable, run natively or under Wine.
# Under Wine a program that cannot start still exits 0, so a Windows test passes only when
# GoogleTest's own summary says that at least one test passed and none failed.
function(zov_add_gtest name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE zov_test_support GTest::gtest zov_win32)
  if(NOT WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "ZOV_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
  elseif(ZOV_RUN_WINDOWS_TESTS)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        FIXTURES_REQUIRED wine
        PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [1-9][0-9]* tests?\\."
        FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
  endif()
endfunction()
