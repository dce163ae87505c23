# Finds the host's DD::Image SDK: headers DDImage/*.h and the DDImage library,
# under DDImage_ROOT or CMAKE_PREFIX_PATH.
#   DDImage_FOUND, DDImage_INCLUDE_DIRS, imported target DDImage::DDImage
#   DDImage_CXX11_ABI: with libstdc++, the std::string ABI the library was
#     built with, 1 or 0, read from its symbols; the cache option
#     LUMOX_CXX11_ABI (1 or 0) overrides it (empty elsewhere)
include(${CMAKE_CURRENT_LIST_DIR}/FindSdkLibrary.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/CxxAbiOfLibrary.cmake)
lumox_find_sdk_library(DDImage HEADER DDImage/Op.h LIBRARY DDImage)
if(DDImage_FOUND)
  lumox_decide_cxx11_abi(DDImage "${DDImage_LIBRARY}" LUMOX_CXX11_ABI DDImage_CXX11_ABI)
  if(NOT DDImage_FIND_QUIETLY AND NOT DDImage_CXX11_ABI STREQUAL "")
    message(STATUS "DDImage's C++ ABI: _GLIBCXX_USE_CXX11_ABI=${DDImage_CXX11_ABI}")
  endif()
endif()
