# Line and branch coverage of the plug-in's code (lumoxindirect/, liblumox/)
# as the Linux suite and the replayed fuzz seeds run it. The figures, the
# floor and the exclusions are in gcovr.cfg at the project root.
#
#   cmake --build --preset coverage --target coverage_reset   # zero the counters
#   ctest --preset coverage
#   cmake --build --preset coverage --target coverage         # report (HTML in coverage-report/); fails below the floor

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  message(FATAL_ERROR "LUMOX_COVERAGE needs GCC (its gcov data is what gcovr reads)")
endif()
find_program(LUMOX_GCOVR gcovr REQUIRED)
# gcov of the very compiler that built the tree.
get_filename_component(_cxx_dir ${CMAKE_CXX_COMPILER} DIRECTORY)
string(REGEX MATCH "^[0-9]+" _gcc_major ${CMAKE_CXX_COMPILER_VERSION})
find_program(LUMOX_GCOV NAMES gcov-${_gcc_major} gcov HINTS ${_cxx_dir} REQUIRED)

set(LUMOX_COVERAGE_REPORT_DIR ${PROJECT_BINARY_DIR}/coverage-report)
add_custom_target(coverage
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMOX_COVERAGE_REPORT_DIR}
  COMMAND ${LUMOX_GCOVR} --config ${PROJECT_SOURCE_DIR}/gcovr.cfg --root ${PROJECT_SOURCE_DIR}
    --gcov-executable ${LUMOX_GCOV} --object-directory ${PROJECT_BINARY_DIR}
    --html-details ${LUMOX_COVERAGE_REPORT_DIR}/index.html
    ${PROJECT_BINARY_DIR}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Coverage of lumoxindirect/ and liblumox/ (HTML: ${LUMOX_COVERAGE_REPORT_DIR}/index.html)"
  USES_TERMINAL)

# Every instrumented run adds to the counters (.gcda): deleting them makes
# the next report count only the runs after it.
add_custom_target(coverage_reset
  COMMAND find ${PROJECT_BINARY_DIR} -name "*.gcda" -type f -delete
  COMMENT "Zeroing the coverage counters"
  VERBATIM)
