cmake_minimum_required(VERSION 3.25)
# The plug-in installed as a studio installs it on Windows: into the renderer
# suite's plugins/, beside the suite's bin/ that holds the renderer library,
# with the host in a folder of its own that holds no renderer library. The
# suite's bin/ reaches the host's DLL search only through the search path
# (Wine's WINEPATH, its PATH for Windows programs): without it the host
# cannot start; with it, the host's RIB is the golden file.
#   -DTREE (an installed tree) -DWORK_DIR -DEMULATOR -DPROGRAM -DRENDERER
#   -DPLUGIN (file names) -DSCRIPT -DGOLDEN

include(${CMAKE_CURRENT_LIST_DIR}/../../../ScriptSteps.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
set(host "${WORK_DIR}/host")
set(suite "${WORK_DIR}/suite")
file(COPY "${TREE}/bin/" DESTINATION "${host}" PATTERN "${RENDERER}" EXCLUDE)
file(COPY "${TREE}/bin/${RENDERER}" DESTINATION "${suite}/bin")
file(COPY "${TREE}/plugins/${PLUGIN}" DESTINATION "${suite}/plugins")
if(EXISTS "${host}/${RENDERER}" OR NOT EXISTS "${host}/${PROGRAM}")
  message(FATAL_ERROR "the host's folder is not laid out as meant")
endif()

set(run "${host}/${PROGRAM}" --plugin-dir "${suite}/plugins" "${SCRIPT}")
# Wine takes Windows paths there; its Z: drive is the Unix root.
string(REPLACE "/" "\\" search_path "Z:${suite}/bin")

unset(ENV{WINEPATH})
execute_process(COMMAND ${EMULATOR} ${run} RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
if(NOT failed)
  message(FATAL_ERROR "the host started without the suite's bin/ on its DLL search path")
endif()

set(ENV{WINEPATH} "${search_path}")
lumox_expect_host_output("the host with the suite's bin/ on WINEPATH" "${GOLDEN}" ${run})
