# Flags and helpers of the Windows (cross) build.
#
# Floating point: SSE2 single precision without contraction, so the frame conversion gives the same
# bytes in every build. Runtime: the C and C++ runtimes are linked statically, so a module imports
# only system DLLs.
if(MSVC)
  # /fp:precise neither contracts nor widens; x64 always uses SSE2, /arch:SSE2 is the i686 default.
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:/W4;/fp:precise;/utf-8>")
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
else()
  # (C and C++ only: the resource compiler takes none of these.)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-msse2;-mfpmath=sse;-ffp-contract=off;-Wall;-Wextra;-Wno-unused-parameter>")
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Reproducible binaries: the same sources give the same bytes wherever and whenever they are built. The
  # debug information names sources relative to the checkout; the linker writes no time stamp, and gives
  # every DLL the architecture's default base rather than one hashed from its output path.
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>")
  add_link_options(-Wl,--no-insert-timestamp -Wl,--disable-auto-image-base)
  # The Microsoft-mode compiles: portability check and Microsoft export names.
  include(${CMAKE_CURRENT_LIST_DIR}/MicrosoftMode.cmake)
endif()
add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601)
# Version resources (cmake/Package.cmake): windres from the toolchain.
enable_language(RC)

# use_wide_entry_point(<target>): the program's entry point is wmain (mingw-w64 needs -municode for that;
# Microsoft's linker picks wmain by itself).
function(use_wide_entry_point target)
  if(MINGW)
    target_link_options(${target} PRIVATE -municode)
  endif()
endfunction()

# The toolchain file names the Wine architecture its programs need; scripts read it back from the cache.
set(WINE_ARCH "${WINE_ARCH}" CACHE INTERNAL "Wine architecture (win32 or win64) of this build's programs")
set(WINE_PREFIX_DIR "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix used by the tests")
# Only a cross build runs its programs under Wine; a build on Windows runs them directly.
if(CMAKE_CROSSCOMPILING)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/scripts/wine-run;${WINE_PREFIX_DIR};${WINE_ARCH}")
endif()

# gtest_discover_tests at test time (PRE_TEST): discovery at build time would start Wine during the build.
include(GoogleTest)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Tests that start a 32-bit Windows program carry the label wine32 (every Wine test of a 32-bit build), so
# a machine that executes no 32-bit code can leave exactly those out and say so.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(WINE_TEST_LABEL wine32)
else()
  set(WINE_TEST_LABEL wine64)
endif()

# add_wine_test(name SOURCES ... LIBS ... [LOCK resource] [TIMEOUT seconds] [RUNS_32_BIT]) builds a GoogleTest program and
# registers each of its tests as one ctest test, each in a process of its own under Wine. LOCK serialises
# tests that share process-external state (named shared memory, registry keys) with other tests holding the
# same lock. RUNS_32_BIT: a 64-bit program whose tests start 32-bit programs too.
function(add_wine_test name)
  cmake_parse_arguments(T "RUNS_32_BIT" "LOCK;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest)
  if(NOT T_LIBS MATCHES "test_support")
    target_link_libraries(${name} PRIVATE gtest_main)
  endif()
  set(props LABELS ${WINE_TEST_LABEL})
  if(T_RUNS_32_BIT)
    set(props LABELS wine32)
  endif()
  if(T_LOCK)
    list(APPEND props RESOURCE_LOCK ${T_LOCK})
  endif()
  # Seconds for each test of the program, where one takes longer than the presets' default allows.
  if(T_TIMEOUT)
    list(APPEND props TIMEOUT ${T_TIMEOUT})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES ${props})
endfunction()
