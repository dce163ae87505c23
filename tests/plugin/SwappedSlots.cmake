cmake_minimum_required(VERSION 3.25)
# The slot test catches a node whose two bridge operations trade places: the
# plug-in is built alone from a copy of the sources whose interface header
# declares emitLight before categories, put into a tree with the test
# program, and the program's slot test must fail there, by its checks.
#   -DSOURCE_DIR -DBUILD_DIR (this build) -DWORK_DIR -DPROGRAM (the test
#   program) -DPLUGIN_NAME -DCXX_COMPILER -DBUILD_TYPE [-DTOOLCHAIN]
#   [-DEMULATOR]

include(${CMAKE_CURRENT_LIST_DIR}/../ScriptSteps.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
set(sdk "${WORK_DIR}/sdk")
lumox_run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --component sdk --prefix "${sdk}")

# Everything of the sources but build trees, which may hold this one.
set(source "${WORK_DIR}/source")
file(GLOB entries LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
foreach(entry IN LISTS entries)
  if(NOT entry MATCHES "^(build|\\.git)$")
    file(COPY "${SOURCE_DIR}/${entry}" DESTINATION "${source}")
  endif()
endforeach()

set(header "${source}/lumoxindirect/include/lumoxindirect/LumoxIndirectBase.h")
file(READ "${header}" text)
set(categories "virtual std::set<std::string>* categories() = 0;")
set(emit "virtual bool emitLight(const RenderOptions& options, InputExporter* exporter, bool asShader) = 0;")
foreach(declaration IN ITEMS categories emit)
  string(FIND "${text}" "${${declaration}}" first)
  string(FIND "${text}" "${${declaration}}" last REVERSE)
  if(first EQUAL -1 OR NOT first EQUAL last)
    message(FATAL_ERROR "${header} does not declare once:\n${${declaration}}")
  endif()
endforeach()
string(REPLACE "${categories}" "@categories@" text "${text}")
string(REPLACE "${emit}" "${categories}" text "${text}")
string(REPLACE "@categories@" "${emit}" text "${text}")
file(WRITE "${header}" "${text}")

set(configure -S "${source}" -B "${WORK_DIR}/build" -G Ninja
  -DLUMOX_STANDINS=OFF "-DCMAKE_PREFIX_PATH=${sdk}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}")
lumox_leg_arguments(configure "${sdk}")
lumox_run(${CMAKE_COMMAND} ${configure})
lumox_run(${CMAKE_COMMAND} --build "${WORK_DIR}/build" --target LumoxIndirect)

# The test program finds the plug-in in plugins/ beside its own bin/.
get_filename_component(bin "${PROGRAM}" DIRECTORY)
file(GLOB libraries "${bin}/*.dll" "${bin}/*.so" "${bin}/*.so.*")
file(COPY "${PROGRAM}" ${libraries} DESTINATION "${WORK_DIR}/tree/bin")
file(COPY "${WORK_DIR}/build/plugins/${PLUGIN_NAME}" DESTINATION "${WORK_DIR}/tree/plugins")
get_filename_component(program "${PROGRAM}" NAME)

execute_process(COMMAND ${EMULATOR} "${WORK_DIR}/tree/bin/${program}" --gtest_filter=VirtualSlots.*
  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT failed OR NOT output MATCHES "is not emitLight.*is not categories.*\\[  FAILED  \\] 1 test")
  message(FATAL_ERROR "the slot test should fail, by its checks, on a node whose slots are swapped; "
    "it said (${failed}):\n${output}")
endif()
message(STATUS "The slot test refused the swapped node:\n${output}")
