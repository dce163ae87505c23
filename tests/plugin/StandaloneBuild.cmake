cmake_minimum_required(VERSION 3.25)
# The plug-in built alone against an installed SDK, as against a real one:
# the `sdk` component installed into a prefix, the project configured from
# it with no stand-in, its plug-in file put into an installed host tree, and
# that host's RIB for an example compared with the golden file.
#   -DSOURCE_DIR -DBUILD_DIR (this build) -DWORK_DIR -DHOST_TREE (installed)
#   -DPLUGIN_NAME -DHOST_PROGRAM (file name) -DSCRIPT -DGOLDEN
#   -DCXX_COMPILER -DBUILD_TYPE [-DTOOLCHAIN] [-DEMULATOR]

include(${CMAKE_CURRENT_LIST_DIR}/../ScriptSteps.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
set(sdk "${WORK_DIR}/sdk")
lumox_run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --component sdk --prefix "${sdk}")

set(configure -S "${SOURCE_DIR}" -B "${WORK_DIR}/build" -G Ninja
  -DLUMOX_STANDINS=OFF "-DCMAKE_PREFIX_PATH=${sdk}" -DLUMOX_WARNINGS_AS_ERRORS=ON
  "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}")
lumox_leg_arguments(configure "${sdk}")
lumox_run(${CMAKE_COMMAND} ${configure})
lumox_run(${CMAKE_COMMAND} --build "${WORK_DIR}/build")

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

lumox_expect_host_output("the host with the plug-in built alone" "${GOLDEN}"
  "${host}/bin/${HOST_PROGRAM}" "${SCRIPT}")

# A symbol that no library provides fails the plug-in's link, not a host's
# loading: linked again against a renderer library without the renderer's
# functions, the build stops naming one.
file(STRINGS "${WORK_DIR}/build/CMakeCache.txt" libraries REGEX "^(DDImage|Lumox)_LIBRARY:")
string(REGEX REPLACE "^.*DDImage_LIBRARY:[A-Z]*=([^;]*).*$" "\\1" ddimage "${libraries}")
string(REGEX REPLACE "^.*Lumox_LIBRARY:[A-Z]*=([^;]*).*$" "\\1" lumox "${libraries}")
file(COPY_FILE "${ddimage}" "${lumox}")
file(TOUCH "${lumox}")
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK_DIR}/build"
  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
# GNU ld and lld-link say it each in its own words.
if(NOT failed OR NOT output MATCHES "(undefined reference to `(__imp_)?|undefined symbol: (__declspec\\(dllimport\\) )?)Lx[A-Za-z]+")
  message(FATAL_ERROR "the plug-in linked against a renderer library without its functions:\n${output}")
endif()
