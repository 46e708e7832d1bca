# Test executables: GoogleTest, cross-built and run under Wine through the
# crossing emulator (tools/wine-run), or native with the sanitizers.
enable_testing()
include(GoogleTest)

set(QNT_WINE_ROOT ${CMAKE_BINARY_DIR}/wine CACHE PATH "Wine prefix, HOME and TMP of this build")
if(NOT QNT_NATIVE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tools/wine-run --root ${QNT_WINE_ROOT})
endif()

if(NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# qnt_add_test(NAME SOURCES ... [LIBS ...] [PORTABLE] [NATIVE_ONLY] [ENV k=v ...]
#              [PROPERTIES ...] [ALONE gtest-filter])
# PORTABLE tests are built by both the Windows and the native build.
# The tests ALONE names run with no other test beside them: tests that type
# keys need the foreground window, which any other test's window takes away
# on the shared display.
function(qnt_add_test name)
  cmake_parse_arguments(A "PORTABLE;NATIVE_ONLY" "ALONE" "SOURCES;LIBS;ENV;PROPERTIES;DEPENDS" ${ARGN})
  if(QNT_NATIVE AND NOT (A_PORTABLE OR A_NATIVE_ONLY))
    return()
  endif()
  if(NOT QNT_NATIVE AND A_NATIVE_ONLY)
    return()
  endif()
  add_executable(${name} ${A_SOURCES} ${CMAKE_SOURCE_DIR}/tests/common/test_main.cpp)
  qnt_rc_inputs(${A_SOURCES})
  target_link_libraries(${name} PRIVATE qnt_options gtest classlib ${A_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  if(A_DEPENDS)
    add_dependencies(${name} ${A_DEPENDS})
  endif()
  set(props)
  if(A_ENV)
    list(APPEND props ENVIRONMENT "${A_ENV}")
  endif()
  set(filter)
  if(A_ALONE)
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
      TEST_FILTER "${A_ALONE}"
      PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE ${props} ${A_PROPERTIES})
    set(filter TEST_FILTER "-${A_ALONE}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    ${filter}
    PROPERTIES TIMEOUT 120 ${props} ${A_PROPERTIES})
endfunction()

# qnt_add_fuzzer(NAME SOURCES ... LIBS ... [SECONDS n])
# libFuzzer targets of the native clang build; ctest runs each briefly, and
# tools/fuzz.sh runs them longer.
function(qnt_add_fuzzer name)
  cmake_parse_arguments(A "" "SECONDS" "SOURCES;LIBS;CORPUS" ${ARGN})
  if(NOT QNT_NATIVE OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    return()
  endif()
  if(NOT A_SECONDS)
    set(A_SECONDS 15)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE qnt_options ${A_LIBS})
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME fuzz.${name}
    COMMAND ${name} -max_total_time=${A_SECONDS} -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 ${corpus} ${A_CORPUS})
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()
