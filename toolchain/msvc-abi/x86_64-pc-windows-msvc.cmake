# Windows x64 in the MSVC C++ ABI, built on Linux: clang-cl and lld-link
# (Debian's clang-14, lld-14, llvm-14), Microsoft's C++ library from
# LUMOX_MSVC_STL_DIR (a microsoft/STL checkout, or a folder holding its
# stl/inc and stl/src), Wine's C runtime and Windows headers
# (libwine-dev), and Wine's PE DLLs for import libraries (wine64-tools,
# wine64). What MSVC links statically comes from this folder, built into
# LUMOX_MSVC_ABI_RUNTIME_DIR when a project is configured.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER clang-cl-14)
set(CMAKE_CXX_COMPILER clang-cl-14)
set(CMAKE_LINKER lld-link-14)
set(CMAKE_AR llvm-lib-14)
set(CMAKE_RC_COMPILER llvm-rc-14)
set(CMAKE_MT llvm-mt-14)
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)

# For the project: this leg's own adjustments key on it.
set(LUMOX_MSVC_ABI ON)
set(LUMOX_MSVC_ABI_DIR ${CMAKE_CURRENT_LIST_DIR})

# The inputs, given on the command line, in a preset or in the environment.
if(NOT LUMOX_MSVC_STL_DIR AND DEFINED ENV{LUMOX_MSVC_STL_DIR})
  set(LUMOX_MSVC_STL_DIR "$ENV{LUMOX_MSVC_STL_DIR}")
endif()
set(LUMOX_MSVC_STL_DIR "${LUMOX_MSVC_STL_DIR}" CACHE PATH "Microsoft's STL: a microsoft/STL checkout at tag vs-2022-17.4, or a folder holding its stl/inc and stl/src")
set(LUMOX_WINE_INCLUDE_DIR /usr/include/wine/wine CACHE PATH "Wine's headers (libwine-dev): msvcrt/ and windows/")
set(LUMOX_WINE_PE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows CACHE PATH "Wine's 64-bit PE DLLs, to make import libraries from")
if(NOT LUMOX_MSVC_ABI_RUNTIME_DIR)
  set(LUMOX_MSVC_ABI_RUNTIME_DIR ${CMAKE_BINARY_DIR}/msvc-abi-runtime)
endif()
set(LUMOX_MSVC_ABI_RUNTIME_DIR "${LUMOX_MSVC_ABI_RUNTIME_DIR}" CACHE PATH "Where the import libraries, the static runtime part and the fixed headers are built")
# try_compile projects see the same inputs.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES
  LUMOX_MSVC_STL_DIR LUMOX_WINE_INCLUDE_DIR LUMOX_WINE_PE_DIR LUMOX_MSVC_ABI_RUNTIME_DIR)

include(${CMAKE_CURRENT_LIST_DIR}/cmake/CheckInputs.cmake)
lumox_msvc_abi_check_inputs()

set(_stl_inc ${LUMOX_MSVC_STL_DIR}/stl/inc)
set(_rt ${LUMOX_MSVC_ABI_RUNTIME_DIR})
# Searched in this order: the headers MSVC's runtime has and Wine lacks,
# Wine's headers with their fixes, the STL, Wine's own.
set(_includes
  ${LUMOX_MSVC_ABI_DIR}/include ${_rt}/include ${_stl_inc}
  ${LUMOX_WINE_INCLUDE_DIR}/msvcrt ${LUMOX_WINE_INCLUDE_DIR}/windows)
set(_flags "-fms-compatibility-version=19.34 /X")
foreach(_dir IN LISTS _includes)
  string(APPEND _flags " -imsvc ${_dir}")
endforeach()
# WCHAR is wchar_t, as under MSVC (Wine's default would mangle differently).
# clang 14 cannot compile the STL's vector_algorithms.cpp in MSVC mode; its
# plain C++ fallbacks change no layout.
# GetExceptionCode() and friends are clang-cl's own, as under MSVC.
string(APPEND _flags " /DWINE_UNICODE_NATIVE /DUSE_COMPILER_EXCEPTIONS /D_USE_STD_VECTOR_ALGORITHMS=0")
set(CMAKE_C_FLAGS_INIT "${_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_flags}")
# Version resources include <winver.h>.
set(CMAKE_RC_FLAGS_INIT "/I ${LUMOX_WINE_INCLUDE_DIR}/windows /I ${LUMOX_WINE_INCLUDE_DIR}/msvcrt")
# lld-link finds msvcrt.lib (the start-up part), msvcprt.lib (the C++
# library's) and the import libraries here, as link.exe finds MSVC's.
# oldnames.lib (POSIX names) has no counterpart: nothing here uses them.
foreach(_kind EXE SHARED MODULE)
  set(CMAKE_${_kind}_LINKER_FLAGS_INIT "/libpath:${_rt}/lib /nodefaultlib:oldnames.lib")
endforeach()
# Only the release runtime exists here (Wine has no debug one).
set(CMAKE_MSVC_RUNTIME_LIBRARY MultiThreadedDLL)
# MSVC's usual defaults, less those no Wine DLL stands behind.
set(_libraries "kernel32.lib user32.lib gdi32.lib shell32.lib ole32.lib advapi32.lib")
set(CMAKE_C_STANDARD_LIBRARIES "${_libraries}" CACHE STRING "Libraries every C program links")
set(CMAKE_CXX_STANDARD_LIBRARIES "${_libraries}" CACHE STRING "Libraries every C++ program links")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Programs built here run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMOX_MSVC_ABI_DIR}/../../cmake/wine-run.sh)

get_property(_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(LUMOX_MSVC_ABI_BUILDING_RUNTIME)
  # The runtime itself: nothing to link against yet.
  set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
elseif(NOT _in_try_compile)
  include(${CMAKE_CURRENT_LIST_DIR}/cmake/BuildRuntime.cmake)
  lumox_msvc_abi_build_runtime()
endif()
