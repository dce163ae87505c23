# Builds this folder's project (the import libraries, the fixed headers and
# the static runtime part) into LUMOX_MSVC_ABI_RUNTIME_DIR before the
# project that uses the toolchain checks its compiler: its programs link
# against it from the first test program on.
function(lumox_msvc_abi_build_runtime)
  set(build ${LUMOX_MSVC_ABI_RUNTIME_DIR}/build)
  set(configure ${CMAKE_COMMAND} -S ${LUMOX_MSVC_ABI_DIR} -B ${build} -G Ninja
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_TOOLCHAIN_FILE=${LUMOX_MSVC_ABI_DIR}/x86_64-pc-windows-msvc.cmake
    -DLUMOX_MSVC_ABI_BUILDING_RUNTIME=ON
    -DLUMOX_MSVC_STL_DIR=${LUMOX_MSVC_STL_DIR}
    -DLUMOX_WINE_INCLUDE_DIR=${LUMOX_WINE_INCLUDE_DIR}
    -DLUMOX_WINE_PE_DIR=${LUMOX_WINE_PE_DIR}
    -DLUMOX_MSVC_ABI_RUNTIME_DIR=${LUMOX_MSVC_ABI_RUNTIME_DIR})
  foreach(launcher C CXX)
    if(DEFINED ENV{CMAKE_${launcher}_COMPILER_LAUNCHER})
      list(APPEND configure -DCMAKE_${launcher}_COMPILER_LAUNCHER=$ENV{CMAKE_${launcher}_COMPILER_LAUNCHER})
    endif()
  endforeach()
  if(NOT EXISTS ${build}/build.ninja)
    message(STATUS "Building the MSVC-ABI runtime part in ${LUMOX_MSVC_ABI_RUNTIME_DIR}")
    execute_process(COMMAND ${configure} OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "Configuring the MSVC-ABI runtime part failed:\n${out}")
    endif()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "Building the MSVC-ABI runtime part failed:\n${out}")
  endif()
endfunction()
