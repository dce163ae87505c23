cmake_minimum_required(VERSION 3.25)
# The example bridge built out of the project's tree against an install of
# the sdk, devel, plugin and host components, installed there, and run on
# its scene; what it writes is compared with the golden file.
#   -DBUILD_DIR (this build) or -DPREFIX (those components, installed)
#   -DEXAMPLE_DIR -DWORK_DIR -DGOLDEN -DPROGRAM (file name)
#   -DCXX_COMPILER [-DBUILD_TYPE] [-DSANITIZERS] [-DTOOLCHAIN] [-DEMULATOR]
#   [-DMSVC_STL_DIR -DMSVC_ABI_RUNTIME_DIR] (the MSVC-ABI toolchain's)

include(${CMAKE_CURRENT_LIST_DIR}/../ScriptSteps.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
if(PREFIX)
  set(prefix "${PREFIX}")
else()
  set(prefix "${WORK_DIR}/prefix")
  foreach(component sdk devel plugin host)
    lumox_run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --component ${component} --prefix "${prefix}")
  endforeach()
endif()

set(configure -S "${EXAMPLE_DIR}" -B "${WORK_DIR}/build" -G Ninja
  "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_INSTALL_PREFIX=${prefix}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}")
if(SANITIZERS)
  list(APPEND configure "-DCMAKE_CXX_FLAGS=-fsanitize=${SANITIZERS}" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=${SANITIZERS}")
endif()
lumox_leg_arguments(configure "${prefix}")
lumox_run(${CMAKE_COMMAND} ${configure})
lumox_run(${CMAKE_COMMAND} --build "${WORK_DIR}/build")
lumox_run(${CMAKE_COMMAND} --install "${WORK_DIR}/build")

set(output "${WORK_DIR}/bridge.rib")
lumox_run(${EMULATOR} "${prefix}/bin/${PROGRAM}" "${prefix}/plugins" "${output}")
file(READ "${output}" written)
lumox_expect_golden("the example bridge" "${written}" "${GOLDEN}")
