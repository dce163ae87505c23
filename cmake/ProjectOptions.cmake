# Compiler settings shared by every target of the project.

add_library(lumox_project_options INTERFACE)
add_library(LumoxIndirect::project_options ALIAS lumox_project_options)

# The compiler's command-line style: MSVC's (cl, clang-cl) or GNU's (GCC,
# mingw-w64, clang). Each flag below is for one of them only; windres and
# llvm-rc, which compile the Windows version resources, take none. (CMake
# 3.25 has no generator expression for the front end.)
if(MSVC)
  set(LUMOX_CXX_FRONTEND MSVC)
else()
  set(LUMOX_CXX_FRONTEND GNU)
endif()
set(LUMOX_GNU_FRONTEND "$<STREQUAL:${LUMOX_CXX_FRONTEND},GNU>")
set(LUMOX_MSVC_FRONTEND "$<STREQUAL:${LUMOX_CXX_FRONTEND},MSVC>")
set(_gnu "$<AND:$<COMPILE_LANGUAGE:CXX>,${LUMOX_GNU_FRONTEND}>")
set(_msvc "$<AND:$<COMPILE_LANGUAGE:CXX>,${LUMOX_MSVC_FRONTEND}>")
set(_warnings -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast)
if(LUMOX_WARNINGS_AS_ERRORS)
  list(APPEND _warnings -Werror)
endif()
# Never /WX: nobody builds with MSVC here, so a studio's first build must not
# fail on a warning no one could see.
target_compile_options(lumox_project_options INTERFACE
  "$<${_gnu}:${_warnings}>"
  "$<${_msvc}:/W4;/permissive-;/utf-8>")
# Float results are rounded where the source rounds them: GCC would fuse a
# product and a sum into one multiply-add wherever the target has one (as
# with -mfma), even across statements, and change the sample count.
target_compile_options(lumox_project_options INTERFACE "$<${_gnu}:-ffp-contract=off>")
# The MSVC-ABI leg compiles with an MSVC front end here, where its warnings
# are seen: there they fail the build as GCC's do.
if(LUMOX_WARNINGS_AS_ERRORS AND LUMOX_MSVC_ABI)
  target_compile_options(lumox_project_options INTERFACE "$<${_msvc}:/WX>")
endif()

if(LUMOX_SANITIZERS)
  target_compile_options(lumox_project_options INTERFACE
    "$<${_gnu}:-fsanitize=${LUMOX_SANITIZERS};-fno-omit-frame-pointer;-fno-sanitize-recover=all>")
  target_link_options(lumox_project_options INTERFACE
    "$<${LUMOX_GNU_FRONTEND}:-fsanitize=${LUMOX_SANITIZERS}>")
endif()

if(LUMOX_COVERAGE)
  # Unoptimised, so that lines and branches are the source's own.
  target_compile_options(lumox_project_options INTERFACE "$<${_gnu}:--coverage;-O0>")
  target_link_options(lumox_project_options INTERFACE "$<${LUMOX_GNU_FRONTEND}:--coverage>")
endif()

if(WIN32)
  target_compile_definitions(lumox_project_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601
    # Boost is used header-only: no toolchain may ask the linker for a
    # compiled Boost library behind the build's back.
    BOOST_ALL_NO_LIB)
endif()

# A plug-in shares the host's C runtime: the release DLL, in every build
# type (a debug runtime would be a second heap and another STL layout).
set(CMAKE_MSVC_RUNTIME_LIBRARY MultiThreadedDLL)

if(MINGW)
  # Every module shares one C++ runtime (libstdc++-6.dll), so exceptions and
  # type information cross DLL boundaries as they do on Linux. Its DLLs go
  # beside the programs, in the build tree and when installed, as a Windows
  # application ships them.
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

# C++ exceptions may leave functions of C linkage in `target`. MSVC's usual
# /EHsc assumes an extern "C" function never throws, so a catch around a
# call into the renderer library could be dropped and its exception end the
# host in std::terminate. A studio's MSVC build must keep this for the
# loader, as the renderer library is free to throw from Lumox_homeDir, and
# for the node's emission, whose transform scope must close around renderer
# calls that throw.
function(lumox_extern_c_may_throw target)
  target_compile_options(${target} PRIVATE "$<${_msvc}:/EHs;/EHc->")
endfunction()
