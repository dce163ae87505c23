cmake_minimum_required(VERSION 3.25)
# The C++ ABI that FindDDImage and the installed package decide, against
# host SDK libraries of every shape (sdk-shapes/), with and without the
# LUMOX_CXX11_ABI option.
#   -DSOURCE_DIR (the project) -DBUILD_DIR (this build) -DWORK_DIR
#   -DABI (this build's, 1 or 0) -DCXX_COMPILER [-DTOOLCHAIN]

include(${CMAKE_CURRENT_LIST_DIR}/../ScriptSteps.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
set(sdks "${WORK_DIR}/sdks")
set(configure -S "${CMAKE_CURRENT_LIST_DIR}/sdk-shapes" -B "${WORK_DIR}/shapes" -G Ninja
  -DCMAKE_BUILD_TYPE=Release "-DCMAKE_INSTALL_PREFIX=${sdks}")
lumox_leg_arguments(configure "${sdks}")
lumox_run(${CMAKE_COMMAND} ${configure})
lumox_run(${CMAKE_COMMAND} --build "${WORK_DIR}/shapes")
lumox_run(${CMAKE_COMMAND} --install "${WORK_DIR}/shapes")
set(devel "${WORK_DIR}/devel")
lumox_run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --component devel --prefix "${devel}")

if(ABI STREQUAL "1")
  set(same new-exports)
  set(other old-exports)
  set(other_shown "the old ABI \\(0\\)")
else()
  set(same old-exports)
  set(other new-exports)
  set(other_shown "the new ABI \\(1\\)")
endif()
# The library, named by its path.
set(library "DDImage library [^\n]*/SHAPE/(lib|bin)/[^ \n]*DDImage[^ \n]*")

# package%shape%LUMOX_CXX11_ABI%what configure must say (a regular
# expression; the ABI alone means it must succeed with it)
set(cases
  "DDImage%new-exports%%^1$"
  "DDImage%old-exports%%^0$"
  "DDImage%new-imports%%^1$"
  "DDImage%old-imports%%^0$"
  "DDImage%none%%Cannot tell the C\\+\\+ ABI of the ${library}: it shows no std::string: none in its exports, none imported from libstdc\\+\\+\\. Set LUMOX_CXX11_ABI to 1"
  "DDImage%both%%Cannot tell the C\\+\\+ ABI of the ${library}: it shows both ABIs: it exports the new std::string \\([^\n]*std::__cxx11::basic_string[^\n]*\\) and the old \\([^\n]*std::string[^\n]*\\)\\. Set LUMOX_CXX11_ABI"
  "DDImage%none%0%^0$"
  "DDImage%both%1%^1$"
  "DDImage%old-exports%1%LUMOX_CXX11_ABI is 1, but the ${library} shows the old ABI \\(0\\): it exports shapeName\\(std::string"
  "DDImage%new-imports%0%LUMOX_CXX11_ABI is 0, but the ${library} shows the new ABI \\(1\\): it imports from libstdc\\+\\+ [^\n]*_ZNK?St7__cxx1112basic_string[^\n]*\\. Set LUMOX_CXX11_ABI to 1"
  "DDImage%old-imports%01%LUMOX_CXX11_ABI is '01': set it to 1 \\(the new std::string ABI\\), 0 \\(_GLIBCXX_USE_CXX11_ABI=0\\) or leave it empty"
  "LumoxIndirect%${same}%%^${ABI}$"
  "LumoxIndirect%${other}%%LumoxIndirect was built with libstdc\\+\\+'s _GLIBCXX_USE_CXX11_ABI=${ABI}, but the ${library} is of ${other_shown}"
)

set(consumer "${WORK_DIR}/consumer")
foreach(case IN LISTS cases)
  string(REPLACE "%" ";" fields "${case}")
  list(GET fields 0 package)
  list(GET fields 1 shape)
  list(GET fields 2 option)
  list(GET fields 3 expected)
  string(REPLACE "SHAPE" "${shape}" expected "${expected}")
  # One build folder for every case, so compiler checks run once; what
  # a case found is forgotten before the next.
  set(configure -S "${CMAKE_CURRENT_LIST_DIR}/consumer" -B "${consumer}" -G Ninja
    "-DMODULE_DIR=${SOURCE_DIR}/cmake" "-DPACKAGE=${package}" "-DLUMOX_CXX11_ABI=${option}"
    "-UDDImage_*" "-ULumoxIndirect_*" "-DCMAKE_PREFIX_PATH=${sdks}/${shape}" "-DLumoxIndirect_ROOT=${devel}")
  lumox_leg_arguments(configure "${WORK_DIR}")
  execute_process(COMMAND ${CMAKE_COMMAND} ${configure}
    RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  # CMake wraps long messages; the regular expressions read them unwrapped.
  string(REGEX REPLACE "[ \n]+" " " unwrapped "${output}")
  if(expected MATCHES "^\\^[01]\\$$")
    string(REGEX MATCH "DDImage_CXX11_ABI: \\[([^]]*)\\]" found "${output}")
    if(failed OR NOT CMAKE_MATCH_1 MATCHES "${expected}")
      message(FATAL_ERROR "${package} against ${shape} (LUMOX_CXX11_ABI '${option}') should give ${expected}:\n${output}")
    endif()
    if(package STREQUAL "LumoxIndirect" AND NOT output MATCHES "compile definitions: \\[[^]]*_GLIBCXX_USE_CXX11_ABI=${ABI}")
      message(FATAL_ERROR "LumoxIndirect::bridge_api does not carry _GLIBCXX_USE_CXX11_ABI=${ABI}:\n${output}")
    endif()
  elseif(NOT failed OR NOT unwrapped MATCHES "${expected}")
    message(FATAL_ERROR "${package} against ${shape} (LUMOX_CXX11_ABI '${option}') should fail saying\n${expected}\nConfigure said (${failed}):\n${output}")
  endif()
endforeach()
