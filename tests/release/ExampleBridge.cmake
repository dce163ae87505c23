cmake_minimum_required(VERSION 3.25)
# The example bridge built out of the project's tree against an install of
# the sdk, devel, plugin and host components, installed there, and run on
# its scene; what it writes is compared with the golden file.
#   -DBUILD_DIR (this build) -DEXAMPLE_DIR -DWORK_DIR -DGOLDEN -DPROGRAM (file name)
#   -DCXX_COMPILER -DBUILD_TYPE [-DSANITIZERS] [-DTOOLCHAIN] [-DEMULATOR]

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command}\nfailed (${failed}):\n${output}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
foreach(component sdk devel plugin host)
  run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --component ${component} --prefix "${prefix}")
endforeach()

set(configure -S "${EXAMPLE_DIR}" -B "${WORK_DIR}/build" -G Ninja
  "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_INSTALL_PREFIX=${prefix}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}")
if(SANITIZERS)
  list(APPEND configure "-DCMAKE_CXX_FLAGS=-fsanitize=${SANITIZERS}" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=${SANITIZERS}")
endif()
if(TOOLCHAIN)
  # A cross build searches only below its roots: the install is one.
  list(APPEND configure "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" "-DCMAKE_FIND_ROOT_PATH=${prefix}")
else()
  list(APPEND configure "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
endif()
run(${CMAKE_COMMAND} ${configure})
run(${CMAKE_COMMAND} --build "${WORK_DIR}/build")
run(${CMAKE_COMMAND} --install "${WORK_DIR}/build")

set(output "${WORK_DIR}/bridge.rib")
run(${EMULATOR} "${prefix}/bin/${PROGRAM}" "${prefix}/plugins" "${output}")
file(READ "${output}" written)
file(READ "${GOLDEN}" expected)
if(NOT written STREQUAL expected)
  message(FATAL_ERROR "the example bridge wrote\n${written}\ninstead of\n${expected}")
endif()
