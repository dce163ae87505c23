# The plug-in sees interfaces/ only. Checked before its sources compile, so
# the build stops with the reason rather than a missing header; the test
# suite runs the same check (tests/plugin).

set(LUMOX_PLUGIN_TARGETS lumoxindirect_node liblumox_loader LumoxIndirect)
set(LUMOX_PLUGIN_INCLUDE_DIRS_FILE ${PROJECT_BINARY_DIR}/plugin-include-dirs.txt)

set(_content "")
foreach(_target IN LISTS LUMOX_PLUGIN_TARGETS)
  string(APPEND _content
    "$<$<BOOL:$<TARGET_PROPERTY:${_target},INCLUDE_DIRECTORIES>>:${_target}: $<JOIN:$<TARGET_PROPERTY:${_target},INCLUDE_DIRECTORIES>,\n${_target}: >\n>")
endforeach()
file(GENERATE OUTPUT ${LUMOX_PLUGIN_INCLUDE_DIRS_FILE} CONTENT "${_content}")

set(LUMOX_PLUGIN_ISOLATION_COMMAND
  ${CMAKE_COMMAND} -DPROJECT_DIR=${PROJECT_SOURCE_DIR} -DBINARY_DIR=${PROJECT_BINARY_DIR}
    -DINCLUDE_DIRS_FILE=${LUMOX_PLUGIN_INCLUDE_DIRS_FILE}
    -P ${PROJECT_SOURCE_DIR}/cmake/CheckPluginIsolation.cmake)

# Always runs: it has to see files no target lists, and it takes milliseconds.
add_custom_target(plugin_isolation_check
  COMMAND ${LUMOX_PLUGIN_ISOLATION_COMMAND}
  COMMENT "Checking that the plug-in sees only interfaces/"
  VERBATIM)
foreach(_target IN LISTS LUMOX_PLUGIN_TARGETS)
  add_dependencies(${_target} plugin_isolation_check)
endforeach()
