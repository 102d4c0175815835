# add_filter_module(<name> SOURCES ... DEF <file> [LIBS ...])
#
# Builds a filter module: an in-process COM server DLL named <name>.dll (no "lib" prefix) from the module's
# own sources (its filter classes and its class table), the server layer and the framework, both linked
# statically. The .def file exports the entry points undecorated:
#
#   EXPORTS
#       DllMain PRIVATE
#       DllGetClassObject PRIVATE
#       DllCanUnloadNow PRIVATE
#       DllRegisterServer PRIVATE
#       DllUnregisterServer PRIVATE
#
# (--enable-stdcall-fixup binds those names to the decorated __stdcall symbols; members marked
# __declspec(dllexport), such as the frame record classes, are exported besides). LIBS are further static
# libraries of the module (e.g. camera_channel). The C and C++ runtimes are linked statically too, so the
# module imports only system DLLs; the ctest test <name>_imports checks that, and that the automation
# library (OleAut32), which the module may only load at run time, is not imported.
function(add_filter_module name)
  cmake_parse_arguments(M "" "DEF" "SOURCES;LIBS" ${ARGN})
  if(NOT M_DEF)
    message(FATAL_ERROR "add_filter_module(${name}): a DEF file is required")
  endif()
  add_library(${name} SHARED ${M_SOURCES} ${M_DEF})
  set_target_properties(${name} PROPERTIES PREFIX "")
  target_link_libraries(${name} PRIVATE ${M_LIBS} server framework)
  # The entry points live in the static server library; an export named only in the .def file does not make
  # the linker fetch the object that defines it, so each entry point is requested explicitly (on i686 by
  # its decorated __stdcall name).
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(entry_points _DllMain@12 _DllGetClassObject@12 _DllCanUnloadNow@0 _DllRegisterServer@0 _DllUnregisterServer@0)
  else()
    set(entry_points DllMain DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer)
  endif()
  list(TRANSFORM entry_points PREPEND "-Wl,-u,")
  target_link_options(${name} PRIVATE -static -Wl,--enable-stdcall-fixup ${entry_points})
  add_test(NAME ${name}_imports
           COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DMODULE=$<TARGET_FILE:${name}>
                   -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CheckModuleImports.cmake)
endfunction()
