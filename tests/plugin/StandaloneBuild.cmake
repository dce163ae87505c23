cmake_minimum_required(VERSION 3.25)
# The plug-in built alone against an installed SDK, as against a real one:
# the `sdk` component installed into a prefix, the project configured from
# it with no stand-in, its plug-in file put into an installed host tree, and
# that host's RIB for an example compared with the golden file.
#   -DSOURCE_DIR -DBUILD_DIR (this build) -DWORK_DIR -DHOST_TREE (installed)
#   -DPLUGIN_NAME -DHOST_PROGRAM (file name) -DSCRIPT -DGOLDEN
#   -DCXX_COMPILER -DBUILD_TYPE [-DTOOLCHAIN] [-DEMULATOR]

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command}\nfailed (${failed}):\n${output}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(sdk "${WORK_DIR}/sdk")
run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --component sdk --prefix "${sdk}")

set(configure -S "${SOURCE_DIR}" -B "${WORK_DIR}/build" -G Ninja
  -DLUMOX_STANDINS=OFF "-DCMAKE_PREFIX_PATH=${sdk}" -DLUMOX_WARNINGS_AS_ERRORS=ON
  "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}")
if(TOOLCHAIN)
  # A cross build searches only below its roots: the SDK is one.
  list(APPEND configure "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" "-DCMAKE_FIND_ROOT_PATH=${sdk}")
else()
  list(APPEND configure "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
endif()
run(${CMAKE_COMMAND} ${configure})
run(${CMAKE_COMMAND} --build "${WORK_DIR}/build")

# The plug-in alone: nothing of the stand-ins was built.
foreach(standin bin/${HOST_PROGRAM} bin/DDImage.dll bin/libDDImage.so bin/Lumox.dll bin/libLumox.so)
  if(EXISTS "${WORK_DIR}/build/${standin}")
    message(FATAL_ERROR "the plug-in's own build made ${standin}")
  endif()
endforeach()
set(plugin "${WORK_DIR}/build/plugins/${PLUGIN_NAME}")
if(NOT EXISTS "${plugin}")
  message(FATAL_ERROR "the plug-in's own build made no ${plugin}")
endif()

set(host "${WORK_DIR}/host")
file(COPY "${HOST_TREE}/" DESTINATION "${host}")
file(COPY "${plugin}" DESTINATION "${host}/plugins")

execute_process(COMMAND ${EMULATOR} "${host}/bin/${HOST_PROGRAM}" "${SCRIPT}"
  RESULT_VARIABLE failed OUTPUT_VARIABLE rib ERROR_VARIABLE errors)
if(failed)
  message(FATAL_ERROR "the host with the plug-in built alone failed (${failed}):\n${errors}")
endif()
file(READ "${GOLDEN}" expected)
if(NOT rib STREQUAL expected)
  message(FATAL_ERROR "the host with the plug-in built alone wrote\n${rib}\ninstead of\n${expected}")
endif()
