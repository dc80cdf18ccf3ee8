# GoogleTest: the system package natively, its sources in the cross build.
if(TOCKLET_TESTS)
  enable_testing()
  if(CMAKE_CROSSCOMPILING OR MSVC)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    if(NOT TOCKLET_GTEST_SOURCE)
      set(TOCKLET_GTEST_SOURCE /usr/src/googletest)
    endif()
    add_subdirectory(${TOCKLET_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()

# tocklet_add_test(<name> SOURCES ... LIBS ...): one test program per folder,
# registered with ctest (run through the emulator when cross-compiling).
function(tocklet_add_test name)
  if(NOT TOCKLET_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main tocklet_options)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()

# tocklet_add_western_run(<name>): under Wine, runs the test program's
# "OnAnySystem" tests again in a Western locale (system code page 1252), where
# text shown through the "A" functions turns into question marks. The program
# checks that the code page really is 1252; a filter that matches no test
# fails instead of passing empty.
function(tocklet_add_western_run name)
  if(NOT TOCKLET_TESTS OR NOT CMAKE_CROSSCOMPILING OR NOT TARGET ${name})
    return()
  endif()
  add_test(NAME ${name}_en_US COMMAND ${name} --gtest_color=no --gtest_filter=*OnAnySystem*)
  set_tests_properties(${name}_en_US PROPERTIES TIMEOUT 300
    ENVIRONMENT "LANG=en_US.UTF-8;LC_ALL=en_US.UTF-8;TOCKLET_EXPECT_ACP=1252"
    FAIL_REGULAR_EXPRESSION "\\[  PASSED  \\] 0 tests")
endfunction()
