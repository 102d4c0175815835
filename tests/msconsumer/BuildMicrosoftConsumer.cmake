# cmake -DCLANG= -DLLD_LINK= -DDLLTOOL= -DMACHINE=i386|i386:x86-64 -DFLAGS=<a|b|...> -DSOURCE=<consumer.cpp>
#       -DMODULE=<module.dll> -DMODULE_DEF=<module.def> -DDIR=<output dir> -P BuildMicrosoftConsumer.cmake
# Builds DIR/msconsumer.exe beside a copy of MODULE. Its import library of the module holds only the
# Microsoft names of the module's export list (the NAME=symbol lines), so the consumer cannot bind to
# anything else; kernel32's import library lists the few functions it calls.
string(REPLACE "|" ";" flags "${FLAGS}")
file(MAKE_DIRECTORY ${DIR})
get_filename_component(module_file ${MODULE} NAME)
get_filename_component(module_name ${MODULE} NAME_WE)

file(STRINGS ${MODULE_DEF} alias_lines REGEX "^ *\\?[^=]+=")
set(names "")
foreach(line IN LISTS alias_lines)
  string(REGEX REPLACE "^ *([^=]+)=.*$" "\\1" name "${line}")
  list(APPEND names ${name})
  if(name MATCHES "^\\?\\?0CVideoFrameForm@@")
    set(form_constructor ${name})
  elseif(name MATCHES "^\\?\\?0CVideoFrame@@")
    set(frame_constructor ${name})
  endif()
endforeach()
if(NOT form_constructor OR NOT frame_constructor)
  message(FATAL_ERROR "${MODULE_DEF} exports no Microsoft-name constructors")
endif()
list(JOIN names "\n    " listed)
file(WRITE ${DIR}/${module_name}.msnames.def "LIBRARY ${module_file}\nEXPORTS\n    ${listed}\n")

if(MACHINE STREQUAL "i386")
  set(kernel32 "GetStdHandle@4\n    WriteFile@20\n    ExitProcess@4\n    GetModuleHandleA@4\n    GetProcAddress@8")
  set(kill_at -k)
else()
  set(kernel32 "GetStdHandle\n    WriteFile\n    ExitProcess\n    GetModuleHandleA\n    GetProcAddress")
  set(kill_at "")
endif()
file(WRITE ${DIR}/kernel32.def "LIBRARY KERNEL32.dll\nEXPORTS\n    ${kernel32}\n")

include(${CMAKE_CURRENT_LIST_DIR}/RunTool.cmake)
run(${DLLTOOL} -m ${MACHINE} -d ${DIR}/${module_name}.msnames.def -l ${DIR}/${module_name}.lib)
run(${DLLTOOL} -m ${MACHINE} ${kill_at} -d ${DIR}/kernel32.def -l ${DIR}/kernel32.lib)
run(${CLANG} ${flags} -O1 -fno-exceptions -fno-rtti -DTARN_IMPORT_FRAME_RECORDS
    "-DMODULE_FILE_NAME=\"${module_file}\"" "-DCONSTRUCTOR_NAME_FRAME_FORM=\"${form_constructor}\""
    "-DCONSTRUCTOR_NAME_FRAME=\"${frame_constructor}\"" -c ${SOURCE} -o ${DIR}/msconsumer.obj)
run(${LLD_LINK} /nologo /entry:ConsumerMain /subsystem:console /nodefaultlib /out:${DIR}/msconsumer.exe
    ${DIR}/msconsumer.obj ${DIR}/${module_name}.lib ${DIR}/kernel32.lib)
file(COPY ${MODULE} DESTINATION ${DIR})
