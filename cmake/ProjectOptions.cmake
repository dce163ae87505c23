# Compiler settings shared by every target of the project.

add_library(lumox_project_options INTERFACE)
add_library(LumoxIndirect::project_options ALIAS lumox_project_options)

# Both GCC and mingw-w64 (and clang, for the fuzz targets) take the lot.
target_compile_options(lumox_project_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
  $<$<BOOL:${LUMOX_WARNINGS_AS_ERRORS}>:-Werror>)

if(LUMOX_SANITIZERS)
  target_compile_options(lumox_project_options INTERFACE
    -fsanitize=${LUMOX_SANITIZERS} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(lumox_project_options INTERFACE -fsanitize=${LUMOX_SANITIZERS})
endif()

if(LUMOX_COVERAGE)
  # Unoptimised, so that lines and branches are the source's own.
  target_compile_options(lumox_project_options INTERFACE --coverage -O0)
  target_link_options(lumox_project_options INTERFACE --coverage)
endif()

if(WIN32)
  # Every module shares one C++ runtime (libstdc++-6.dll), so exceptions and
  # type information cross DLL boundaries as they do on Linux.
  target_compile_definitions(lumox_project_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

if(WIN32 AND CMAKE_CROSSCOMPILING)
  # The MinGW runtime DLLs go beside the programs, in the build tree and
  # when installed, as a Windows application ships them.
  foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
      OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
      message(FATAL_ERROR "MinGW runtime ${_dll} not found")
    endif()
    file(COPY ${_path} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    list(APPEND LUMOX_MINGW_RUNTIME_DLLS ${_path})
  endforeach()
  install(FILES ${LUMOX_MINGW_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT host)
endif()

# Libraries find their neighbours in bin/, and the plug-in finds them from
# plugins/, both in the build tree and once installed.
if(NOT WIN32)
  set(CMAKE_BUILD_RPATH_USE_ORIGIN ON)
  set(CMAKE_INSTALL_RPATH "$ORIGIN")
endif()

# Applies the project's settings to a target.
function(lumox_target target)
  target_link_libraries(${target} PRIVATE lumox_project_options)
endfunction()
