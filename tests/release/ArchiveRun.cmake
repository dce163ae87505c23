cmake_minimum_required(VERSION 3.25)
# The release archives: cpack makes all three; the plug-in archive holds the
# plug-in, the README and the install note and nothing else; the host
# archive and the plug-in archive unpacked into one folder run an example,
# whose RIB must match its golden file.
#   -DCPACK_CONFIG -DWORK_DIR -DPLUGIN_ARCHIVE -DDEVEL_ARCHIVE -DHOST_ARCHIVE
#   (file names) -DPLUGIN_FILE -DHOST_PROGRAM -DSCRIPT -DGOLDEN [-DEMULATOR]

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command}\nfailed (${failed}):\n${output}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
run(${CMAKE_CPACK_COMMAND} --config "${CPACK_CONFIG}" -B "${WORK_DIR}/packages")
foreach(archive PLUGIN_ARCHIVE DEVEL_ARCHIVE HOST_ARCHIVE)
  if(NOT EXISTS "${WORK_DIR}/packages/${${archive}}")
    file(GLOB made RELATIVE "${WORK_DIR}/packages" "${WORK_DIR}/packages/*.*")
    message(FATAL_ERROR "cpack made no ${${archive}}; it made: ${made}")
  endif()
  # An entry twice over makes unpacking ask which one to keep.
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf "${WORK_DIR}/packages/${${archive}}"
    OUTPUT_VARIABLE entries RESULT_VARIABLE failed)
  string(STRIP "${entries}" entries)
  string(REPLACE "\n" ";" entries "${entries}")
  set(unique ${entries})
  list(REMOVE_DUPLICATES unique)
  if(failed OR NOT unique STREQUAL entries)
    message(FATAL_ERROR "${${archive}} cannot be listed or holds an entry twice:\n${entries}")
  endif()
endforeach()

# What a user of the real host takes: nothing beyond the plug-in and its notes.
set(unpacked "${WORK_DIR}/plugin-only")
file(ARCHIVE_EXTRACT INPUT "${WORK_DIR}/packages/${PLUGIN_ARCHIVE}" DESTINATION "${unpacked}")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${unpacked}" "${unpacked}/*")
list(SORT files)
set(expected INSTALL.txt README.md plugins/${PLUGIN_FILE})
if(NOT files STREQUAL expected)
  message(FATAL_ERROR "${PLUGIN_ARCHIVE} holds ${files} instead of ${expected}")
endif()

set(tree "${WORK_DIR}/tree")
file(ARCHIVE_EXTRACT INPUT "${WORK_DIR}/packages/${HOST_ARCHIVE}" DESTINATION "${tree}")
file(ARCHIVE_EXTRACT INPUT "${WORK_DIR}/packages/${PLUGIN_ARCHIVE}" DESTINATION "${tree}")
execute_process(COMMAND ${EMULATOR} "${tree}/bin/${HOST_PROGRAM}" "${tree}/examples/${SCRIPT}"
  RESULT_VARIABLE failed OUTPUT_VARIABLE rib ERROR_VARIABLE errors)
if(failed)
  message(FATAL_ERROR "ddhost from the unpacked archives failed (${failed}):\n${errors}")
endif()
file(READ "${GOLDEN}" expected)
if(NOT rib STREQUAL expected)
  message(FATAL_ERROR "ddhost from the unpacked archives wrote\n${rib}\ninstead of\n${expected}")
endif()
