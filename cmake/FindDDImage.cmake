# Finds the host's DD::Image SDK: headers DDImage/*.h and the DDImage library,
# under DDImage_ROOT or CMAKE_PREFIX_PATH.
#   DDImage_FOUND, DDImage_INCLUDE_DIRS, imported target DDImage::DDImage
include(${CMAKE_CURRENT_LIST_DIR}/FindSdkLibrary.cmake)
lumox_find_sdk_library(DDImage HEADER DDImage/Op.h LIBRARY DDImage)
