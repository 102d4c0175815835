# The reader library of the camera channel (include/tarn_camera_channel.h), as find_package(tarn_camera_reader)
# finds it in the package's folder or the install folder of the Tarn camera filters: the imported target
# tarn_camera_reader::tarn_camera_reader, a static library of the consumer's architecture (lib/x64 for 64-bit
# pointers, lib/x86 for 32-bit ones), with the public include folder and kernel32, the one system library it
# calls. It also needs memcpy and memcmp from the consumer's C run time.
get_filename_component(_tarn_camera_reader_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_tarn_camera_reader_arch x64)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_tarn_camera_reader_arch x86)
else()
  set(tarn_camera_reader_FOUND FALSE)
  set(tarn_camera_reader_NOT_FOUND_MESSAGE
      "tarn_camera_reader is built for 32- and 64-bit Windows; this project's pointers are '${CMAKE_SIZEOF_VOID_P}' bytes")
  return()
endif()
set(_tarn_camera_reader_library "${_tarn_camera_reader_prefix}/lib/${_tarn_camera_reader_arch}/tarn_camera_reader.lib")
if(NOT EXISTS "${_tarn_camera_reader_library}")
  set(tarn_camera_reader_FOUND FALSE)
  set(tarn_camera_reader_NOT_FOUND_MESSAGE "${_tarn_camera_reader_library} is missing")
  return()
endif()
if(NOT TARGET tarn_camera_reader::tarn_camera_reader)
  add_library(tarn_camera_reader::tarn_camera_reader STATIC IMPORTED)
  set_target_properties(tarn_camera_reader::tarn_camera_reader PROPERTIES
    IMPORTED_LOCATION "${_tarn_camera_reader_library}"
    IMPORTED_LINK_INTERFACE_LANGUAGES C
    INTERFACE_INCLUDE_DIRECTORIES "${_tarn_camera_reader_prefix}/include"
    INTERFACE_LINK_LIBRARIES kernel32)
endif()
unset(_tarn_camera_reader_library)
unset(_tarn_camera_reader_arch)
unset(_tarn_camera_reader_prefix)
