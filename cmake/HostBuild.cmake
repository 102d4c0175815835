# Native build of the platform-neutral code.
find_package(GTest REQUIRED)
include(GoogleTest)
set(SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
option(FUZZING "Build the libFuzzer targets only (clang)" OFF)
if(FUZZING)
  list(APPEND SANITIZER_FLAGS -fsanitize=fuzzer-no-link
       -fsanitize-coverage-ignorelist=${PROJECT_SOURCE_DIR}/tests/fuzz/coverage-ignorelist.txt)
endif()
add_compile_options(-Wall -Wextra -ffp-contract=off)

function(add_host_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_compile_options(${name} PRIVATE ${SANITIZER_FLAGS})
  target_link_options(${name} PRIVATE ${SANITIZER_FLAGS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120)
endfunction()
