# The leg is made for one release of Microsoft's STL: the newest whose
# headers accept clang 14. Says plainly what is wrong with the inputs.
set(LUMOX_MSVC_STL_EXPECTED_UPDATE 202208L)

function(lumox_msvc_abi_check_inputs)
  if(NOT LUMOX_MSVC_STL_DIR)
    message(FATAL_ERROR "LUMOX_MSVC_STL_DIR is not set: point it at a checkout of microsoft/STL "
      "at tag vs-2022-17.4 (or a folder holding its stl/inc and stl/src)")
  endif()
  set(core ${LUMOX_MSVC_STL_DIR}/stl/inc/yvals_core.h)
  if(NOT EXISTS ${core} OR NOT IS_DIRECTORY ${LUMOX_MSVC_STL_DIR}/stl/src)
    message(FATAL_ERROR "LUMOX_MSVC_STL_DIR=${LUMOX_MSVC_STL_DIR} holds no usable STL: "
      "stl/inc/yvals_core.h or stl/src is missing")
  endif()
  file(STRINGS ${core} update REGEX "^#define _MSVC_STL_UPDATE ")
  string(REGEX REPLACE "^#define _MSVC_STL_UPDATE +" "" update "${update}")
  if(NOT update STREQUAL LUMOX_MSVC_STL_EXPECTED_UPDATE)
    message(FATAL_ERROR "LUMOX_MSVC_STL_DIR=${LUMOX_MSVC_STL_DIR} is the STL of _MSVC_STL_UPDATE "
      "'${update}'; this leg is made for ${LUMOX_MSVC_STL_EXPECTED_UPDATE} (tag vs-2022-17.4)")
  endif()
  foreach(dir msvcrt windows)
    if(NOT IS_DIRECTORY ${LUMOX_WINE_INCLUDE_DIR}/${dir})
      message(FATAL_ERROR "${LUMOX_WINE_INCLUDE_DIR}/${dir} not found (install libwine-dev)")
    endif()
  endforeach()
  foreach(dll ucrtbase vcruntime140 msvcp140 kernel32)
    if(NOT EXISTS ${LUMOX_WINE_PE_DIR}/${dll}.dll)
      message(FATAL_ERROR "${LUMOX_WINE_PE_DIR}/${dll}.dll not found (install wine64)")
    endif()
  endforeach()
endfunction()
