# cmake -DCLANG=<clang++> -DFLAGS=<a|b|...> -DSOURCES=<x.cpp|...> -P MicrosoftModeCheck.cmake
# Compiles each source with the Microsoft-mode flags, syntax only; fails when any of them reports an error or
# a warning, and prints what each one reported.
string(REPLACE "|" ";" flags "${FLAGS}")
string(REPLACE "|" ";" sources "${SOURCES}")
set(failed "")
foreach(source IN LISTS sources)
  execute_process(COMMAND ${CLANG} ${flags} -fsyntax-only ${source}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0 OR NOT out STREQUAL "")
    list(APPEND failed ${source})
    message("${out}")
  endif()
endforeach()
list(LENGTH sources checked)
if(failed)
  message(FATAL_ERROR "Microsoft mode: ${checked} sources checked, not clean: ${failed}")
endif()
message(STATUS "Microsoft mode: ${checked} sources clean")
