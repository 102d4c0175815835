# cmake -DCLANG= -DLLD_LINK= -DDLLTOOL= -DMACHINE=i386|i386:x86-64 -DFLAGS=<a|b|...> -DSOURCE=<consumer.cpp>
#       -DLIBRARY=<tarn_camera_reader archive> -DDIR=<output dir> -P BuildReaderConsumer.cmake
# Builds DIR/msreader.exe: SOURCE and the reader library linked by lld-link with /nodefaultlib, so that the
# library's objects can bind to nothing but kernel32's import library (the functions listed below) and the
# consumer's own memcpy and memcmp.
string(REPLACE "|" ";" flags "${FLAGS}")
file(MAKE_DIRECTORY ${DIR})
# The library's kernel32 functions, then the consumer's own; on i386 with their stdcall argument bytes.
set(functions CloseHandle@4 GetLastError@0 GetProcessHeap@0 GetTickCount64@0 HeapAlloc@12 HeapFree@12
              MapViewOfFile@20 OpenFileMappingW@12 OpenProcess@12 OpenSemaphoreW@12 Sleep@4 UnmapViewOfFile@4
              VirtualQuery@12 WaitForMultipleObjects@16 WaitForSingleObject@8 CreateFileMappingW@24 GetStdHandle@4 WriteFile@20 ExitProcess@4)
set(kill_at -k)
if(NOT MACHINE STREQUAL "i386")
  list(TRANSFORM functions REPLACE "@[0-9]+$" "")
  set(kill_at "")
endif()
list(JOIN functions "\n    " listed)
file(WRITE ${DIR}/kernel32.def "LIBRARY KERNEL32.dll\nEXPORTS\n    ${listed}\n")

include(${CMAKE_CURRENT_LIST_DIR}/RunTool.cmake)
run(${DLLTOOL} -m ${MACHINE} ${kill_at} -d ${DIR}/kernel32.def -l ${DIR}/kernel32.lib)
run(${CLANG} ${flags} -O1 -fno-exceptions -fno-rtti -c ${SOURCE} -o ${DIR}/msreader.obj)
run(${LLD_LINK} /nologo /entry:ConsumerMain /subsystem:console /nodefaultlib /out:${DIR}/msreader.exe
    ${DIR}/msreader.obj ${LIBRARY} ${DIR}/kernel32.lib)
