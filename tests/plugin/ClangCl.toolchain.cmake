# An MSVC-style Windows x64 build configured on Linux with clang-cl and
# lld-link (Debian's clang-tools, lld and llvm), for checking what the
# project asks of such a compiler. Nothing here can link a Windows program
# (there is no Windows SDK), so the compiler checks are skipped and what
# they would have found is given.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(_versions 19 18 17 16 15 14)
list(TRANSFORM _versions PREPEND clang-cl- OUTPUT_VARIABLE _clang_cl)
find_program(LUMOX_CLANG_CL NAMES clang-cl ${_clang_cl} REQUIRED)
foreach(_tool lld-link llvm-rc llvm-lib llvm-mt)
  string(MAKE_C_IDENTIFIER ${_tool} _variable)
  string(TOUPPER LUMOX_${_variable} _variable)
  list(TRANSFORM _versions PREPEND ${_tool}- OUTPUT_VARIABLE _names)
  find_program(${_variable} NAMES ${_tool} ${_names} REQUIRED)
endforeach()

set(CMAKE_CXX_COMPILER ${LUMOX_CLANG_CL})
set(CMAKE_LINKER ${LUMOX_LLD_LINK})
set(CMAKE_RC_COMPILER ${LUMOX_LLVM_RC})
set(CMAKE_AR ${LUMOX_LLVM_LIB})
set(CMAKE_MT ${LUMOX_LLVM_MT})
set(CMAKE_CXX_COMPILER_FORCED ON)
set(CMAKE_CXX_SIZEOF_DATA_PTR 8)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
