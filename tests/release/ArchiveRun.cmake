cmake_minimum_required(VERSION 3.25)
# The release archives: cpack makes all three, each with the notes, whose
# links hold; the plug-in archive holds the plug-in and the notes alone; the host
# archive and the plug-in archive unpacked into one folder run an example,
# whose RIB must match its golden file.
#   -DCPACK_CONFIG -DSOURCE_DIR -DWORK_DIR -DPLUGIN_ARCHIVE -DDEVEL_ARCHIVE -DHOST_ARCHIVE
#   (file names) -DPLUGIN_FILE -DHOST_PROGRAM -DSCRIPT -DGOLDEN [-DEMULATOR]

include(${CMAKE_CURRENT_LIST_DIR}/../ScriptSteps.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/../docs/MarkdownLinks.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
lumox_run(${CMAKE_CPACK_COMMAND} --config "${CPACK_CONFIG}" -B "${WORK_DIR}/packages")
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

# Every archive carries the notes: the README, the install note, the
# licences and every file of the source tree's docs/ folder, whose links
# hold there. A manual added to docs/ but left out of the notes fails here.
set(notes INSTALL.txt LICENSE NOTICE README.md bench/README.md)
file(GLOB manuals LIST_DIRECTORIES false RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/docs/*")
if(NOT manuals)
  message(FATAL_ERROR "${SOURCE_DIR}/docs holds no manual")
endif()
list(APPEND notes ${manuals})
foreach(archive PLUGIN_ARCHIVE DEVEL_ARCHIVE HOST_ARCHIVE)
  set(unpacked "${WORK_DIR}/alone/${archive}")
  file(ARCHIVE_EXTRACT INPUT "${WORK_DIR}/packages/${${archive}}" DESTINATION "${unpacked}")
  foreach(note IN LISTS notes)
    if(NOT EXISTS "${unpacked}/${note}")
      message(FATAL_ERROR "${${archive}} holds no ${note}")
    endif()
  endforeach()
  lumox_expect_markdown_links_hold("${unpacked}" "")
endforeach()

# What a user of the real host takes: nothing beyond the plug-in and the notes.
set(unpacked "${WORK_DIR}/alone/PLUGIN_ARCHIVE")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${unpacked}" "${unpacked}/*")
list(SORT files)
set(expected ${notes} plugins/${PLUGIN_FILE})
list(SORT expected)
if(NOT files STREQUAL expected)
  message(FATAL_ERROR "${PLUGIN_ARCHIVE} holds ${files} instead of ${expected}")
endif()

set(tree "${WORK_DIR}/tree")
file(ARCHIVE_EXTRACT INPUT "${WORK_DIR}/packages/${HOST_ARCHIVE}" DESTINATION "${tree}")
file(ARCHIVE_EXTRACT INPUT "${WORK_DIR}/packages/${PLUGIN_ARCHIVE}" DESTINATION "${tree}")
lumox_expect_host_output("ddhost from the unpacked archives" "${GOLDEN}"
  "${tree}/bin/${HOST_PROGRAM}" "${tree}/examples/${SCRIPT}")

# The install check the README gives on Linux: the plug-in resolves the
# renderer library in the suite's bin/ through its own run path.
if(NOT EMULATOR AND PLUGIN_FILE MATCHES "\\.so$")
  find_program(LDD ldd REQUIRED)
  execute_process(COMMAND ${LDD} "${tree}/plugins/${PLUGIN_FILE}"
    RESULT_VARIABLE failed OUTPUT_VARIABLE resolved ERROR_VARIABLE resolved)
  string(FIND "${resolved}" "libLumox.so => ${tree}/plugins/../bin/libLumox.so " at)
  if(failed OR at EQUAL -1)
    message(FATAL_ERROR "ldd ${tree}/plugins/${PLUGIN_FILE} does not show libLumox.so in the suite's bin/ (${failed}):\n"
      "${resolved}")
  endif()
endif()
