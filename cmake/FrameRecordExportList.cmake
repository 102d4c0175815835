# cmake -DCLANG=<clang++> -DNM=<llvm-nm> -DFLAGS=<a|b|...> -DUSES=<FrameRecordUses.cpp> -DOBJECT=<scratch .obj>
#       -DGCC_EXPORTS=<_Z...|...> -DTEMPLATE=<.def.in> -DMODULE_NAME=<name> -DOUTPUT=<.def>
#       -P FrameRecordExportList.cmake
# Writes a filter module's export list: the template's entry points, the frame record members under their GCC
# names, and the same members under the names Microsoft's compiler gives them. Those names are read from the
# compiler, never written by hand: USES, compiled for the Microsoft target, imports every member, and its
# undefined __imp_ symbols are the names. Each Microsoft name is bound to the GCC symbol of the same member;
# a constructor is bound to its entry point that returns `this` (FrameRecordMicrosoftConstructors.cpp), since
# GCC's constructors do not.
string(REPLACE "|" ";" flags "${FLAGS}")
string(REPLACE "|" ";" gcc_exports "${GCC_EXPORTS}")

execute_process(COMMAND ${CLANG} ${flags} -DTARN_IMPORT_FRAME_RECORDS -c ${USES} -o ${OBJECT}
                RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "compiling ${USES} for the Microsoft target failed:\n${err}")
endif()
execute_process(COMMAND ${NM} -u ${OBJECT} RESULT_VARIABLE status OUTPUT_VARIABLE undefined)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} -u ${OBJECT} failed")
endif()
string(REGEX MATCHALL "__imp_[^\n ]+" imports "${undefined}")
list(TRANSFORM imports REPLACE "^__imp_" "")

# "Class.member" of an Itanium name ("Class.constructor", ".destructor", ".assignment"); "" for the
# base-object variants (C2, D2), which have no Microsoft counterpart.
function(gcc_member_key name out)
  if(NOT name MATCHES "^_ZNK?([0-9]+)(.*)$")
    message(FATAL_ERROR "${name}: not a member's GCC name")
  endif()
  set(length ${CMAKE_MATCH_1})
  set(rest "${CMAKE_MATCH_2}")
  string(SUBSTRING "${rest}" 0 ${length} class)
  string(SUBSTRING "${rest}" ${length} -1 tail)
  if(tail MATCHES "^C1")
    set(key "${class}.constructor")
  elseif(tail MATCHES "^D1")
    set(key "${class}.destructor")
  elseif(tail MATCHES "^aS")
    set(key "${class}.assignment")
  elseif(tail MATCHES "^([0-9]+)(.*)$")
    string(SUBSTRING "${CMAKE_MATCH_2}" 0 ${CMAKE_MATCH_1} member)
    set(key "${class}.${member}")
  else()
    set(key "")
  endif()
  set(${out} "${key}" PARENT_SCOPE)
endfunction()

set(gcc_lines "")
foreach(gcc IN LISTS gcc_exports)
  string(APPEND gcc_lines "    ${gcc}\n")
  gcc_member_key(${gcc} key)
  if(key)
    set("gcc_of_${key}" ${gcc})
  endif()
endforeach()

set(microsoft_lines "")
foreach(name IN LISTS imports)
  if(name MATCHES "^\\?\\?0([A-Za-z0-9_]+)@@")
    set(target "Construct${CMAKE_MATCH_1}ReturningThis")
  else()
    if(name MATCHES "^\\?\\?1([A-Za-z0-9_]+)@@")
      set(key "${CMAKE_MATCH_1}.destructor")
    elseif(name MATCHES "^\\?\\?4([A-Za-z0-9_]+)@@")
      set(key "${CMAKE_MATCH_1}.assignment")
    elseif(name MATCHES "^\\?([A-Za-z0-9_]+)@([A-Za-z0-9_]+)@@")
      set(key "${CMAKE_MATCH_2}.${CMAKE_MATCH_1}")
    else()
      message(FATAL_ERROR "${name}: not a Microsoft member name this list knows")
    endif()
    set(target "${gcc_of_${key}}")
    if(NOT target)
      message(FATAL_ERROR "${name} (${key}) has no GCC-named export to bind to")
    endif()
  endif()
  string(APPEND microsoft_lines "    ${name}=${target}\n")
endforeach()
list(LENGTH imports count)
if(count EQUAL 0)
  message(FATAL_ERROR "${USES} imports no frame record member")
endif()

set(FRAME_RECORD_EXPORTS "${gcc_lines}${microsoft_lines}")
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
