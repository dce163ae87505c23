cmake_minimum_required(VERSION 3.25)
# The API reference's configuration fails on a public member without its
# documentation, and passes once it has one: a header of each kind, run
# through the very configuration the `docs` target uses.
#   -DDOXYGEN -DDOXYFILE -DWORK_DIR

function(run_reference what header expect_failure)
  set(dir "${WORK_DIR}/${what}")
  file(REMOVE_RECURSE "${dir}")
  file(WRITE "${dir}/include/Widget.h" "${header}")
  file(WRITE "${dir}/Doxyfile" "@INCLUDE = ${DOXYFILE}\nINPUT = ${dir}/include/Widget.h\n"
    "OUTPUT_DIRECTORY = ${dir}/out\nSTRIP_FROM_PATH = ${dir}/include\nSTRIP_FROM_INC_PATH = ${dir}/include\n")
  execute_process(COMMAND ${DOXYGEN} "${dir}/Doxyfile" WORKING_DIRECTORY "${dir}"
    RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(expect_failure AND NOT failed)
    message(FATAL_ERROR "${what}: the reference was made without complaint:\n${output}")
  elseif(expect_failure AND NOT output MATCHES "undocumented|not documented")
    message(FATAL_ERROR "${what}: the reference failed, but not for the undocumented member:\n${output}")
  elseif(NOT expect_failure AND failed)
    message(FATAL_ERROR "${what}: the reference failed (${failed}):\n${output}")
  endif()
endfunction()

set(documented [=[
/// \file
/// A widget.
#pragma once

/// Something a bridge uses.
class Widget {
public:
  /// How many there are.
  int count() const;
};
]=])
string(REPLACE "  /// How many there are.\n" "" undocumented "${documented}")

run_reference(documented "${documented}" FALSE)
run_reference(undocumented "${undocumented}" TRUE)
