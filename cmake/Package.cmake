# package_binaries(<target> <description> [<target> <description> ...] [LIBRARIES <target> ...])
#
# The binaries a Windows user gets, in this build's architecture. Each one gets a version resource (the
# project version, its description, its file name: what Windows shows in the file's Properties) and a
# package stage in package/: a stripped copy in package/bin, its debug information in package/symbols as
# <file>.debug, and in the copy a .gnu_debuglink naming that file and its CRC, so a debugger given the
# symbols folder can symbolise a crash in a user's process. package/manifest.txt names the version and the
# binaries; scripts/dist.sh packs the stages of both architectures into the release archive. LIBRARIES are
# static libraries a user links: each is staged as package/lib/<target>.lib without its debug information
# (the name any Windows linker takes, and GNU ld finds it for -l<target>), named by a `library` line of the
# manifest. The target
# package_stage (part of the default build) brings the stage up to date.
#
# A module built by add_filter_module also has a twin, <target>_rebuilt: compiled and linked again from the
# same sources (not in the default build) and staged in package-rebuilt/ by the target package_rebuilt, so
# a test can prove that building again gives the same bytes.
#
# The strip and split run with SOURCE_DATE_EPOCH=0: objcopy would otherwise stamp the current time into
# the PE header it writes, where the linker (--no-insert-timestamp) leaves zero.
set(PACKAGE_COMPANY "Tarn")
set(PACKAGE_PRODUCT "Tarn camera filters")
set(PACKAGE_COPYRIGHT "Copyright (c) 2026 the Tarn camera filters authors. MIT License.")
set(PACKAGE_STAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(PACKAGE_REBUILT_STAGE_DIR ${CMAKE_BINARY_DIR}/package-rebuilt)

# The file a packaged target builds: <name>.dll for a module, <name>.exe for a program.
function(package_file_name target out)
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "SHARED_LIBRARY")
    set(${out} ${name}.dll PARENT_SCOPE)
  elseif(type STREQUAL "EXECUTABLE")
    set(${out} ${name}.exe PARENT_SCOPE)
  else()
    message(FATAL_ERROR "package_binaries: ${target} is a ${type}, neither a module nor a program")
  endif()
endfunction()

# The stripped copy and the debug information of `target`'s file in `stage`; appends both to `outputs`.
function(package_split target file stage outputs)
  set(stripped ${stage}/bin/${file})
  set(symbols ${stage}/symbols/${file}.debug)
  set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
  add_custom_command(
    OUTPUT ${stripped} ${symbols}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/bin ${stage}/symbols
    COMMAND ${objcopy} --only-keep-debug $<TARGET_FILE:${target}> ${symbols}
    COMMAND ${objcopy} --strip-all --add-gnu-debuglink=${symbols} $<TARGET_FILE:${target}> ${stripped}
    DEPENDS ${target}
    COMMENT "Splitting the debug information off ${file} (${target})"
    VERBATIM)
  set(${outputs} ${${outputs}} ${stripped} ${symbols} PARENT_SCOPE)
endfunction()

# The stage's copy of the static library `target`, without debug information; appends it to `outputs`.
function(package_library target stage outputs)
  get_target_property(type ${target} TYPE)
  if(NOT type STREQUAL "STATIC_LIBRARY")
    message(FATAL_ERROR "package_binaries: ${target} is a ${type}, not a static library")
  endif()
  set(library ${stage}/lib/${target}.lib)
  # -D: an archive without member times, owners or modes.
  add_custom_command(
    OUTPUT ${library}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/lib
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY} -D --strip-debug $<TARGET_FILE:${target}>
            ${library}
    DEPENDS ${target}
    COMMENT "Staging ${target}.lib without its debug information"
    VERBATIM)
  set(${outputs} ${${outputs}} ${library} PARENT_SCOPE)
endfunction()

function(package_binaries)
  if(NOT CMAKE_OBJCOPY)
    message(FATAL_ERROR "package_binaries: no objcopy found for this toolchain")
  endif()
  cmake_parse_arguments(P "" "" "LIBRARIES" ${ARGN})
  set(ARGV ${P_UNPARSED_ARGUMENTS})
  list(LENGTH ARGV count)
  math(EXPR last "${count} - 1")
  set(staged "")
  set(rebuilt "")
  set(manifest "version ${PROJECT_VERSION}\n")
  foreach(index RANGE 0 ${last} 2)
    math(EXPR description_index "${index} + 1")
    list(GET ARGV ${index} target)
    if(description_index GREATER last)
      message(FATAL_ERROR "package_binaries: ${target} has no description")
    endif()
    list(GET ARGV ${description_index} description)
    if(NOT TARGET ${target})
      message(FATAL_ERROR "package_binaries: no target ${target}")
    endif()
    package_file_name(${target} file)

    set(VERSION_FILE_NAME ${file})
    set(VERSION_INTERNAL_NAME ${target})
    set(VERSION_DESCRIPTION "${description}")
    set(VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
      set(VERSION_FILE_TYPE VFT_DLL)
    else()
      set(VERSION_FILE_TYPE VFT_APP)
    endif()
    set(resource ${CMAKE_BINARY_DIR}/version/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in ${resource} @ONLY)
    target_sources(${target} PRIVATE ${resource})
    package_split(${target} ${file} ${PACKAGE_STAGE_DIR} staged)
    string(APPEND manifest "binary ${file}\n")

    if(TARGET ${target}_rebuilt)
      target_sources(${target}_rebuilt PRIVATE ${resource})
      package_split(${target}_rebuilt ${file} ${PACKAGE_REBUILT_STAGE_DIR} rebuilt)
    endif()
  endforeach()
  foreach(target ${P_LIBRARIES})
    package_library(${target} ${PACKAGE_STAGE_DIR} staged)
    string(APPEND manifest "library ${target}.lib\n")
  endforeach()
  file(CONFIGURE OUTPUT ${PACKAGE_STAGE_DIR}/manifest.txt CONTENT "${manifest}")
  add_custom_target(package_stage ALL DEPENDS ${staged})
  add_custom_target(package_rebuilt DEPENDS ${rebuilt})
endfunction()
