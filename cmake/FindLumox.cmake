# Finds the renderer library Lumox: header Lumox/Lumox.h and the Lumox
# library, under Lumox_ROOT or CMAKE_PREFIX_PATH.
#   Lumox_FOUND, Lumox_INCLUDE_DIRS, imported target Lumox::Lumox
include(${CMAKE_CURRENT_LIST_DIR}/FindSdkLibrary.cmake)
lumox_find_sdk_library(Lumox HEADER Lumox/Lumox.h LIBRARY Lumox)
