# run(<command> <args>...): runs a tool of a consumer build and stops the script with its output if it fails.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed:\n${out}")
  endif()
endfunction()
