# What FindDDImage.cmake and FindLumox.cmake share: a library of an installed
# SDK that ships no CMake package of its own, found by one of its headers and
# its library under <Package>_ROOT or CMAKE_PREFIX_PATH, as imported target
# <Package>::<Package>.
include_guard(GLOBAL)
include(FindPackageHandleStandardArgs)

# lumox_find_sdk_library(<Package> HEADER <relative path> LIBRARY <name>)
macro(lumox_find_sdk_library package)
  cmake_parse_arguments(_sdk "" "HEADER;LIBRARY" "" ${ARGN})
  find_path(${package}_INCLUDE_DIR NAMES ${_sdk_HEADER} PATH_SUFFIXES include)
  # On Windows this is the import library; the DLL itself is the host's.
  find_library(${package}_LIBRARY NAMES ${_sdk_LIBRARY} PATH_SUFFIXES lib bin)
  mark_as_advanced(${package}_INCLUDE_DIR ${package}_LIBRARY)
  find_package_handle_standard_args(${package} REQUIRED_VARS ${package}_LIBRARY ${package}_INCLUDE_DIR)

  if(${package}_FOUND AND NOT TARGET ${package}::${package})
    if(WIN32)
      add_library(${package}::${package} SHARED IMPORTED)
      set_target_properties(${package}::${package} PROPERTIES IMPORTED_IMPLIB ${${package}_LIBRARY})
    else()
      add_library(${package}::${package} UNKNOWN IMPORTED)
      set_target_properties(${package}::${package} PROPERTIES IMPORTED_LOCATION ${${package}_LIBRARY})
    endif()
    set_target_properties(${package}::${package} PROPERTIES
      INTERFACE_INCLUDE_DIRECTORIES ${${package}_INCLUDE_DIR})
  endif()
  set(${package}_INCLUDE_DIRS ${${package}_INCLUDE_DIR})
  set(${package}_LIBRARIES ${package}::${package})
endmacro()
