cmake_minimum_required(VERSION 3.25)
# The plug-in for a host SDK of libstdc++'s old std::string ABI: the stand-in
# SDK and ddhost built with _GLIBCXX_USE_CXX11_ABI=0 (the `old-abi` preset),
# the plug-in built alone against that SDK as a studio builds it, with no
# ABI and no build type given. Then:
#   - the SDK's ABI is found to be 0, and the build type is Release;
#   - the plug-in imports the old std::string and nothing of std::__cxx11;
#   - it needs no runtime above its floor for that ABI;
#   - ddhost's RIB, categories included, is the golden one;
#   - the example bridge built against that install writes its golden RIB
#     with the categories it read;
#   - the plug-in configured for the other ABI stops, saying why, as do the
#     stand-ins with the tests, which the system's GoogleTest cannot serve.
#   -DSOURCE_DIR -DBUILD_DIR (the old-abi build) -DWORK_DIR

include(${CMAKE_CURRENT_LIST_DIR}/../ScriptSteps.cmake)

# The compiler the SDK was built with builds the plug-in.
file(STRINGS "${BUILD_DIR}/CMakeCache.txt" CXX_COMPILER REGEX "^CMAKE_CXX_COMPILER:")
string(REGEX REPLACE "^[^=]*=" "" CXX_COMPILER "${CXX_COMPILER}")

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
foreach(component sdk host)
  lumox_run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --component ${component} --prefix "${prefix}")
endforeach()

set(build "${WORK_DIR}/plugin")
set(configure -S "${SOURCE_DIR}" -G Ninja -DLUMOX_STANDINS=OFF "-DCMAKE_PREFIX_PATH=${prefix}"
  -DLUMOX_WARNINGS_AS_ERRORS=ON "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
execute_process(COMMAND ${CMAKE_COMMAND} ${configure} -B "${build}"
  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
  message(FATAL_ERROR "the plug-in alone did not configure against the old-ABI SDK:\n${output}")
endif()
if(NOT output MATCHES "DDImage's C\\+\\+ ABI: _GLIBCXX_USE_CXX11_ABI=0")
  message(FATAL_ERROR "the old-ABI SDK was not found to be of the ABI 0:\n${output}")
endif()
file(STRINGS "${build}/CMakeCache.txt" build_type REGEX "^CMAKE_BUILD_TYPE:")
if(NOT build_type MATCHES "=Release$")
  message(FATAL_ERROR "a build given no type is not a Release build: ${build_type}")
endif()
lumox_run(${CMAKE_COMMAND} --build "${build}")
set(plugin "${build}/plugins/LumoxIndirect.so")

execute_process(COMMAND nm -D --undefined-only "${plugin}" OUTPUT_VARIABLE imports RESULT_VARIABLE failed)
if(failed OR NOT imports MATCHES "_ZNK?Ss")
  message(FATAL_ERROR "the plug-in imports no old std::string member:\n${imports}")
endif()
string(REGEX MATCHALL "[^ \n]*__cxx11[^ \n]*" new_abi "${imports}")
if(new_abi)
  list(JOIN new_abi "\n  " new_abi)
  message(FATAL_ERROR "the plug-in for an old-ABI SDK imports the new ABI's\n  ${new_abi}")
endif()
lumox_run(${CMAKE_COMMAND} -DPLUGIN=${plugin} -DTOOL=objdump -DABI=0
  -P ${CMAKE_CURRENT_LIST_DIR}/../plugin/RuntimeFloor.cmake)

foreach(component plugin devel)
  lumox_run(${CMAKE_COMMAND} --install "${build}" --component ${component} --prefix "${prefix}")
endforeach()
lumox_expect_host_output("the old-ABI ddhost with the plug-in built alone"
  "${CMAKE_CURRENT_LIST_DIR}/golden/lights-with-categories.rib"
  "${prefix}/bin/ddhost" "${CMAKE_CURRENT_LIST_DIR}/lights-with-categories.ddscript")
lumox_run(${CMAKE_COMMAND} "-DPREFIX=${prefix}" "-DEXAMPLE_DIR=${SOURCE_DIR}/examples/bridge"
  "-DWORK_DIR=${WORK_DIR}/bridge" "-DGOLDEN=${SOURCE_DIR}/tests/release/golden/bridge-example.rib"
  -DPROGRAM=bridge-example "-DCXX_COMPILER=${CXX_COMPILER}"
  -P ${SOURCE_DIR}/tests/release/ExampleBridge.cmake)

string(REGEX REPLACE "([.+])" "\\\\\\1" library "${prefix}/lib/libDDImage.so")
lumox_expect_failure("the plug-in configured for the new ABI against the old-ABI SDK"
  "LUMOX_CXX11_ABI is 1, but the DDImage library ${library} shows the old ABI \\(0\\): it exports "
  ${CMAKE_COMMAND} ${configure} -B "${WORK_DIR}/other-abi" -DLUMOX_CXX11_ABI=1)

# The stand-ins with the tests: the system's GoogleTest has the other ABI.
lumox_expect_failure("the stand-ins with the tests configured for the old ABI"
  "LUMOX_CXX11_ABI=0 is not the compiler's default ABI, which the system's GoogleTest and Google Benchmark were built with: configure with -DLUMOX_BUILD_TESTS=OFF"
  ${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}/with-tests" -G Ninja
    -DLUMOX_CXX11_ABI=0 "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
message(STATUS "the plug-in for an old-ABI SDK: detected, built, run and refused for the other ABI as it should be")
