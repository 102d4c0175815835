# add_filter_module(<name> SOURCES ... [LIBS ...] [DEF <file>])
#
# Builds a filter module: an in-process COM server DLL named <name>.dll (no "lib" prefix) from the module's
# own sources (its filter classes and its class table), the server layer, the framework and the exported
# frame records, all linked statically. Its export list (<name>.def, from server/FilterModuleExports.def.in)
# exports the COM entry points undecorated and the frame record members: with mingw-w64 under their GCC names
# and under Microsoft's names (derived at build time by cmake/FrameRecordExportList.cmake), with Microsoft's
# compiler through their __declspec(dllexport). LIBS are further static libraries of the module (e.g.
# camera_channel). DEF gives a module of the tests its own export list instead, without the frame records.
# The C and C++ runtimes are linked statically too, so the module imports only system DLLs;
# the ctest test <name>_imports checks that, and that the automation library (OleAut32), which the module
# may only load at run time, is not imported. A released module (no DEF) also gets the twin <name>_rebuilt,
# the same module built again outside the default build, for the package's reproducibility test.
function(add_filter_module name)
  set(FILTER_MODULE_DEF_TEMPLATE ${PROJECT_SOURCE_DIR}/server/FilterModuleExports.def.in)
  cmake_parse_arguments(M "" "DEF" "SOURCES;LIBS" ${ARGN})
  set(def ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
  set(MODULE_NAME ${name})
  set(records common_records_exported)
  if(M_DEF)
    set(def ${M_DEF})
    set(records "")
  elseif(MSVC)
    set(FRAME_RECORD_EXPORTS "")
    configure_file(${FILTER_MODULE_DEF_TEMPLATE} ${def} @ONLY)
  else()
    # The members' GCC names: complete- and base-object constructors and destructor, as mingw-built
    # consumers link them.
    set(gcc_exports
      _ZN15CVideoFrameFormC1Ev _ZN15CVideoFrameFormC2Ev _ZNK15CVideoFrameForm15IsFrameFormInitEv
      _ZNK15CVideoFrameForm13get_SizeBytesEv _ZN15CVideoFrameFormaSERKS_
      _ZN11CVideoFrameC1Ev _ZN11CVideoFrameC2Ev _ZN11CVideoFrameD1Ev _ZN11CVideoFrameD2Ev
      _ZNK11CVideoFrame12IsValidFrameEPh _ZN11CVideoFrameaSERKS_)
    set(uses ${PROJECT_SOURCE_DIR}/tools/msmode/FrameRecordUses.cpp)
    string(REPLACE ";" "|" flags "${MSMODE_FLAGS};-I${PROJECT_SOURCE_DIR}/common")
    string(REPLACE ";" "|" gcc_exports "${gcc_exports}")
    add_custom_command(
      OUTPUT ${def}
      COMMAND ${CMAKE_COMMAND} -DCLANG=${MSMODE_CLANG} -DNM=${MSMODE_NM} "-DFLAGS=${flags}" -DUSES=${uses}
              -DOBJECT=${CMAKE_CURRENT_BINARY_DIR}/${name}_frame_record_uses.obj "-DGCC_EXPORTS=${gcc_exports}"
              -DTEMPLATE=${FILTER_MODULE_DEF_TEMPLATE} -DMODULE_NAME=${name} -DOUTPUT=${def}
              -P ${PROJECT_SOURCE_DIR}/cmake/FrameRecordExportList.cmake
      DEPENDS ${uses} ${FILTER_MODULE_DEF_TEMPLATE} ${PROJECT_SOURCE_DIR}/cmake/FrameRecordExportList.cmake
              ${PROJECT_SOURCE_DIR}/common/CVideoFrameForm.h ${PROJECT_SOURCE_DIR}/common/CVideoFrame.h
              ${PROJECT_SOURCE_DIR}/common/FrameRecordExport.h ${MSMODE_PRELUDE}
      COMMENT "Export list of ${name}.dll (frame record names from the Microsoft-target compiler)"
      VERBATIM)
  endif()
  filter_module_target(${name} ${name})
  if(NOT M_DEF)
    # The twin of a released module, compiled and linked again into rebuilt/ (cmake/Package.cmake).
    filter_module_target(${name}_rebuilt ${name} EXCLUDE_FROM_ALL)
    set(rebuilt_dir ${CMAKE_CURRENT_BINARY_DIR}/rebuilt)
    set_target_properties(${name}_rebuilt PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${rebuilt_dir}
                          LIBRARY_OUTPUT_DIRECTORY ${rebuilt_dir} ARCHIVE_OUTPUT_DIRECTORY ${rebuilt_dir})
  endif()
  add_test(NAME ${name}_imports
           COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DMODULE=$<TARGET_FILE:${name}>
                   -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/CheckModuleImports.cmake)
endfunction()

# The module's library target `target`, building <output name>.dll from add_filter_module's sources, export
# list and libraries (read from the caller's scope).
macro(filter_module_target target output_name)
  add_library(${target} SHARED ${ARGN} ${M_SOURCES} ${def})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${output_name})
  # Linking the object library puts all its objects into the module, though the module references none.
  target_link_libraries(${target} PRIVATE ${M_LIBS} ${records} server framework)
  if(MINGW)
    # The entry points live in the static server library; an export named only in the .def file does not make
    # the linker fetch the object that defines it, so each entry point is requested explicitly (on i686 by
    # its decorated __stdcall name). --enable-stdcall-fixup binds the .def's undecorated names to them.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(entry_points _DllMain@12 _DllGetClassObject@12 _DllCanUnloadNow@0 _DllRegisterServer@0 _DllUnregisterServer@0)
    else()
      set(entry_points DllMain DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer)
    endif()
    list(TRANSFORM entry_points PREPEND "-Wl,-u,")
    target_link_options(${target} PRIVATE -static -Wl,--enable-stdcall-fixup ${entry_points})
  endif()
endmacro()
