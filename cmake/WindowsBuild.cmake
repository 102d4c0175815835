# Flags and helpers of the Windows (cross) build.
#
# Floating point: SSE2 single precision without contraction, so the frame conversion gives the same
# bytes in every build. Runtime: the C and C++ runtimes are linked statically, so a module imports
# only system DLLs.
add_compile_options(-msse2 -mfpmath=sse -ffp-contract=off -Wall -Wextra -Wno-unused-parameter)
add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601)
add_link_options(-static -static-libgcc -static-libstdc++)

set(WINE_PREFIX_DIR "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix used by the tests")
set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/scripts/wine-run;${WINE_PREFIX_DIR};${WINE_ARCH}")

# gtest_discover_tests at test time (PRE_TEST): discovery at build time would start Wine during the build.
include(GoogleTest)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# add_wine_test(name SOURCES ... LIBS ... [LOCK resource]) builds a GoogleTest program and registers each
# of its tests as one ctest test, each in a process of its own under Wine. LOCK serialises tests that
# share process-external state (named shared memory, registry keys) with other tests holding the same lock.
function(add_wine_test name)
  cmake_parse_arguments(T "" "LOCK" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest)
  if(NOT T_LIBS MATCHES "test_support")
    target_link_libraries(${name} PRIVATE gtest_main)
  endif()
  set(props "")
  if(T_LOCK)
    set(props PROPERTIES RESOURCE_LOCK ${T_LOCK})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 ${props})
endfunction()
