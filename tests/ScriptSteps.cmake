# What the tests written as CMake scripts share.
include_guard(GLOBAL)

# Runs a command; a failure ends the script with the command and its output.
function(lumox_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command}\nfailed (${failed}):\n${output}")
  endif()
endfunction()

# Appends to `out_var` what configures a nested project for this build's
# leg: the cross toolchain with `root` as a find root (a cross build searches
# only below its roots), or the native compiler. Reads TOOLCHAIN and
# CXX_COMPILER.
function(lumox_leg_arguments out_var root)
  if(TOOLCHAIN)
    list(APPEND ${out_var} "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" "-DCMAKE_FIND_ROOT_PATH=${root}")
    # The MSVC-ABI toolchain's inputs, and the runtime part it already built.
    if(MSVC_STL_DIR)
      list(APPEND ${out_var} "-DLUMOX_MSVC_STL_DIR=${MSVC_STL_DIR}" "-DLUMOX_MSVC_ABI_RUNTIME_DIR=${MSVC_ABI_RUNTIME_DIR}")
    endif()
  else()
    list(APPEND ${out_var} "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
  endif()
  set(${out_var} ${${out_var}} PARENT_SCOPE)
endfunction()

# `what` must have written exactly the bytes of the file `golden`.
function(lumox_expect_golden what written golden)
  file(READ "${golden}" expected)
  if(NOT written STREQUAL expected)
    message(FATAL_ERROR "${what} wrote\n${written}\ninstead of\n${expected}")
  endif()
endfunction()

# Runs a host program (under EMULATOR for a cross build); its standard output
# must be the file `golden`.
function(lumox_expect_host_output what golden)
  execute_process(COMMAND ${EMULATOR} ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE rib ERROR_VARIABLE errors)
  if(failed)
    message(FATAL_ERROR "${what} failed (${failed}):\n${errors}")
  endif()
  lumox_expect_golden("${what}" "${rib}" "${golden}")
endfunction()

# Runs a command that must fail, saying what the regular expression
# `expected` matches; its output is read with each run of blanks and line
# breaks made one blank, as CMake wraps its messages.
function(lumox_expect_failure what expected)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(REGEX REPLACE "[ \n]+" " " unwrapped "${output}")
  if(NOT failed OR NOT unwrapped MATCHES "${expected}")
    message(FATAL_ERROR "${what} should stop, saying\n${expected}\nIt said (${failed}):\n${output}")
  endif()
endfunction()
