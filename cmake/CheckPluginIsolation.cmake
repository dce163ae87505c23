# Fails when the plug-in could compile against a stand-in's host- or
# test-side headers: a real host's SDK has none of them.
#
#   cmake -DPROJECT_DIR=<source root> -DBINARY_DIR=<build root>
#         -DINCLUDE_DIRS_FILE=<file> -P CheckPluginIsolation.cmake
#
# INCLUDE_DIRS_FILE holds, per plug-in target, "TARGET: DIR" lines with the
# include directories its compile lines carry.

set(_problems "")

file(STRINGS "${INCLUDE_DIRS_FILE}" _entries)
foreach(_entry IN LISTS _entries)
  string(REGEX MATCH "^([^:]+): (.*)$" _ "${_entry}")
  set(_target "${CMAKE_MATCH_1}")
  file(TO_CMAKE_PATH "${CMAKE_MATCH_2}" _dir)
  foreach(_root "${PROJECT_DIR}" "${BINARY_DIR}")
    string(FIND "${_dir}/" "${_root}/standin/" _at)
    if(_at EQUAL 0)
      string(APPEND _problems "  target ${_target} compiles with the include directory ${_dir}\n")
    endif()
  endforeach()
endforeach()

# Every file counts, listed in a target or not, so the folders are walked.
foreach(_folder lumoxindirect liblumox)
  file(GLOB_RECURSE _files LIST_DIRECTORIES false "${PROJECT_DIR}/${_folder}/*")
  foreach(_file IN LISTS _files)
    file(STRINGS "${_file}" _includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]*standin/")
    foreach(_line IN LISTS _includes)
      file(RELATIVE_PATH _name "${PROJECT_DIR}" "${_file}")
      string(STRIP "${_line}" _line)
      string(APPEND _problems "  ${_name} has ${_line}\n")
    endforeach()
  endforeach()
endforeach()

if(_problems)
  message(FATAL_ERROR
    "The plug-in must compile against interfaces/ alone; a stand-in's own headers "
    "(registry, graph, transcript, RIB output, ...) exist only in this project's "
    "stand-ins, not in a real host's SDK or renderer library:\n${_problems}"
    "Use the declarations in interfaces/ instead, or move the need into the tests.")
endif()
