cmake_minimum_required(VERSION 3.25)
# The plug-in alone, configured as an MSVC-style compiler builds it (clang-cl
# and lld-link standing in for cl and link) against an installed SDK laid
# out as a Windows one: no plug-in source may be given a GNU-only flag, and
# each gets the MSVC settings the build promises.
#   -DSOURCE_DIR -DBUILD_DIR (this build) -DWORK_DIR -DTOOLCHAIN

include(${CMAKE_CURRENT_LIST_DIR}/../ScriptSteps.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
set(sdk "${WORK_DIR}/sdk")
lumox_run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --component sdk --prefix "${sdk}")
# The SDK's headers with import libraries by name: configuring reads no more.
file(TOUCH "${sdk}/lib/DDImage.lib" "${sdk}/lib/Lumox.lib")

# Debug, where CMake's default would be the debug C runtime; warnings as
# errors asked for, as the presets do.
set(build "${WORK_DIR}/build")
lumox_run(${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${build}" -G Ninja
  "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" "-DCMAKE_FIND_ROOT_PATH=${sdk}"
  -DLUMOX_STANDINS=OFF -DLUMOX_WARNINGS_AS_ERRORS=ON -DCMAKE_BUILD_TYPE=Debug
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)

# Options that only GNU-style front ends take (MSVC's are written /X here,
# or -D, -I, -imsvc, -MD, -Zi, -TP, -std:, -c).
set(gnu_only "^(-W|-f|-g|-O|-m[a-z]|-pedantic|-pthread|-std=|--coverage|-rdynamic|-shared)")
# What every plug-in source gets: the warnings without /WX, the host's
# release C runtime, and no automatic linking of Boost libraries.
set(required /W4 /permissive- -MD -DBOOST_ALL_NO_LIB)
set(forbidden /WX -WX -MDd /MDd)

file(READ "${build}/compile_commands.json" commands)
string(JSON count LENGTH "${commands}")
set(problems "")
set(sources "")
if(count GREATER 0)
  math(EXPR last "${count} - 1")
  foreach(k RANGE ${last})
    string(JSON file GET "${commands}" ${k} file)
    string(JSON command GET "${commands}" ${k} command)
    get_filename_component(name "${file}" NAME)
    list(APPEND sources ${name})
    separate_arguments(arguments NATIVE_COMMAND "${command}")
    list(REMOVE_AT arguments 0)  # the compiler
    foreach(argument IN LISTS arguments)
      if(argument MATCHES "${gnu_only}" OR argument IN_LIST forbidden)
        string(APPEND problems "\n  ${name}: ${argument}")
      endif()
    endforeach()
    if(name MATCHES "\\.cpp$")  # not the version resource
      foreach(flag IN LISTS required)
        if(NOT flag IN_LIST arguments)
          string(APPEND problems "\n  ${name}: no ${flag}")
        endif()
      endforeach()
    endif()
  endforeach()
endif()
# All of the plug-in's sources were there to be checked.
foreach(expected Emission.cpp LumoxIndirect.cpp ViewerDrawing.cpp LoadLibLumox.cpp SetEnv.cpp)
  if(NOT expected IN_LIST sources)
    string(APPEND problems "\n  ${expected}: not compiled")
  endif()
endforeach()

# Nor may the link be given GNU ld's options.
file(STRINGS "${build}/build.ninja" gnu_link REGEX "-Wl,")
foreach(line IN LISTS gnu_link)
  string(APPEND problems "\n  link: ${line}")
endforeach()

if(problems)
  message(FATAL_ERROR "an MSVC-style build of the plug-in gets:${problems}")
endif()
