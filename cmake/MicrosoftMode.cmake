# Clang in Microsoft mode (an *-pc-windows-msvc target, -fms-compatibility -fms-extensions) over our sources,
# against the mingw-w64 headers of this build's architecture, with tools/msmode/MicrosoftModePrelude.h
# included first. Two uses, both with the same flags:
# - the Microsoft names of the exported frame record members, derived at build time from the headers;
# - the portability check of every module source (ctest tests microsoft_mode_<directory>), our stand-in for a
#   build with Microsoft's compiler, which cannot run here.
find_program(MSMODE_CLANG NAMES clang++ clang++-14 REQUIRED)
find_program(MSMODE_NM NAMES llvm-nm llvm-nm-14 REQUIRED)
set(MSMODE_PRELUDE ${PROJECT_SOURCE_DIR}/tools/msmode/MicrosoftModePrelude.h)

# libstdc++'s headers as the mingw-w64 compiler of this build finds them.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=include
                OUTPUT_VARIABLE gcc_include OUTPUT_STRIP_TRAILING_WHITESPACE)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The i686 headers expect GCC's _X86_ predefine and SSE2.
  set(MSMODE_FLAGS --target=i686-pc-windows-msvc -D_X86_ -msse2)
else()
  set(MSMODE_FLAGS --target=x86_64-pc-windows-msvc)
endif()
list(APPEND MSMODE_FLAGS
  -fms-compatibility -fms-extensions -std=c++17 -Wall -mavx2 -mavx512f -mavx512bw -mavx512vbmi
  -nostdinc++ -isystem ${gcc_include}/c++ -isystem ${gcc_include}/c++/${TOOLCHAIN_PREFIX}
  -isystem ${CMAKE_FIND_ROOT_PATH}/include
  -include ${MSMODE_PRELUDE}
  -DUNICODE -D_UNICODE -DNOMINMAX -D_WIN32_WINNT=0x0601)

# add_microsoft_mode_check(<name> SOURCES ... INCLUDES ...): a ctest test that compiles each source in
# Microsoft mode (syntax only) and fails on any error or warning.
function(add_microsoft_mode_check name)
  cmake_parse_arguments(C "" "" "SOURCES;INCLUDES" ${ARGN})
  list(TRANSFORM C_INCLUDES PREPEND -I)
  string(REPLACE ";" "|" flags "${MSMODE_FLAGS};${C_INCLUDES}")
  string(REPLACE ";" "|" sources "${C_SOURCES}")
  add_test(NAME ${name}
           COMMAND ${CMAKE_COMMAND} -DCLANG=${MSMODE_CLANG} "-DFLAGS=${flags}" "-DSOURCES=${sources}"
                   -P ${PROJECT_SOURCE_DIR}/cmake/MicrosoftModeCheck.cmake)
endfunction()
