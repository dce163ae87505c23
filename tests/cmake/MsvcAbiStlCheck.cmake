cmake_minimum_required(VERSION 3.25)
# The MSVC-ABI toolchain refuses a LUMOX_MSVC_STL_DIR that holds no STL, or
# an STL of another version, naming the folder and what is wrong, before
# anything is built.
#   -DSOURCE_DIR -DWORK_DIR

file(REMOVE_RECURSE "${WORK_DIR}")
set(other "${WORK_DIR}/other-stl")
file(MAKE_DIRECTORY "${other}/stl/inc" "${other}/stl/src")
file(WRITE "${other}/stl/inc/yvals_core.h" "#define _MSVC_STL_VERSION 143\n#define _MSVC_STL_UPDATE  202303L\n")

set(problems)
foreach(case "${WORK_DIR}/no-stl|holds no usable STL" "${other}|is the STL of _MSVC_STL_UPDATE '202303L'; this leg is made for 202208L")
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 stl)
  list(GET case 1 expected)
  execute_process(COMMAND ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}/build" -G Ninja
      "-DCMAKE_TOOLCHAIN_FILE=${SOURCE_DIR}/toolchain/msvc-abi/x86_64-pc-windows-msvc.cmake"
      "-DLUMOX_MSVC_STL_DIR=${stl}"
    RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  file(REMOVE_RECURSE "${WORK_DIR}/build")
  # The message is wrapped; compare it as one line.
  string(REGEX REPLACE "[ \n]+" " " flat "${output}")
  if(NOT failed)
    list(APPEND problems "configuring with LUMOX_MSVC_STL_DIR=${stl} succeeded")
  elseif(NOT flat MATCHES "LUMOX_MSVC_STL_DIR=${stl} ${expected}")
    list(APPEND problems "configuring with LUMOX_MSVC_STL_DIR=${stl} failed without saying '${expected}':\n${output}")
  endif()
endforeach()
if(problems)
  string(REPLACE ";" "\n" problems "${problems}")
  message(FATAL_ERROR "${problems}")
endif()
