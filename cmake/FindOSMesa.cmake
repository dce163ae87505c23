# Finds Mesa's off-screen OpenGL library (Debian: libosmesa6-dev).
#   OSMesa_FOUND, imported target OSMesa::OSMesa
find_path(OSMesa_INCLUDE_DIR NAMES GL/osmesa.h)
find_library(OSMesa_LIBRARY NAMES OSMesa osmesa)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OSMesa REQUIRED_VARS OSMesa_LIBRARY OSMesa_INCLUDE_DIR)

if(OSMesa_FOUND AND NOT TARGET OSMesa::OSMesa)
  add_library(OSMesa::OSMesa UNKNOWN IMPORTED)
  set_target_properties(OSMesa::OSMesa PROPERTIES
    IMPORTED_LOCATION ${OSMesa_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${OSMesa_INCLUDE_DIR})
endif()
mark_as_advanced(OSMesa_INCLUDE_DIR OSMesa_LIBRARY)
