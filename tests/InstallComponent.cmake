# Installs one component into an empty prefix and compares the files that
# land there with the expected list, exactly.
#   -DBUILD_DIR=<build tree> -DPREFIX=<empty prefix> -DCOMPONENT=<name>
#   -DEXPECTED=<relative paths, ;-separated>

file(REMOVE_RECURSE "${PREFIX}")
execute_process(
  COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --component "${COMPONENT}" --prefix "${PREFIX}"
  OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "installing the ${COMPONENT} component failed:\n${output}")
endif()

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
set(expected ${EXPECTED})
list(SORT expected)
if(NOT installed STREQUAL expected)
  string(REPLACE ";" "\n  " installed_lines "${installed}")
  string(REPLACE ";" "\n  " expected_lines "${expected}")
  message(FATAL_ERROR "the ${COMPONENT} component installs\n  ${installed_lines}\n"
    "instead of\n  ${expected_lines}")
endif()
