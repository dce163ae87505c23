cmake_minimum_required(VERSION 3.25)
# A test that needs a tool the configure did not find is still in the
# suite, skipped by name, saying which tool; one whose tool was found runs.
#   -DSOURCE_DIR -DWORK_DIR
file(REMOVE_RECURSE "${WORK_DIR}")
get_filename_component(cmake_dir "${CMAKE_COMMAND}" DIRECTORY)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/cmake/missing-tool -B ${WORK_DIR}
    -DLUMOX_TESTS_DIR=${SOURCE_DIR}/tests -DLUMOX_CMAKE_DIR=${cmake_dir}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configure failed:\n${out}")
endif()
get_filename_component(ctest_dir "${CMAKE_COMMAND}" DIRECTORY)
execute_process(COMMAND ${ctest_dir}/ctest -V WORKING_DIRECTORY ${WORK_DIR}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
set(problems)
foreach(expected
    "uses_PRESENT_tool [.]+ +Passed"
    "uses_ABSENT_tool [.]+\\*+Skipped"
    "uses_ABSENT_tool: not run, ABSENT-tool not found"
    "The following tests did not run:\n[ \t]*[0-9]+ - uses_ABSENT_tool \\(Skipped\\)")
  if(NOT out MATCHES "${expected}")
    list(APPEND problems "no \"${expected}\"")
  endif()
endforeach()
if(NOT status EQUAL 0)
  list(APPEND problems "ctest failed")
endif()
if(problems)
  string(REPLACE ";" "\n" problems "${problems}")
  message(NOTICE "${out}")
  message(FATAL_ERROR "${problems}")
endif()
