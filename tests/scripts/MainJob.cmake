cmake_minimum_required(VERSION 3.25)
# The main job's standard output is the scene's RIB alone, byte for byte,
# so that `scripts/run-example.sh > scene.rib` gives a RIB file: with every
# package present, and with one missing, when apt's output and the script's
# own lines go to standard error. It runs in a copy of the source tree.
#   -DSOURCE_DIR -DWORK_DIR -DGOLDEN
include(${CMAKE_CURRENT_LIST_DIR}/StandIns.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
set(tree "${WORK_DIR}/tree")
set(bin "${WORK_DIR}/bin")
file(MAKE_DIRECTORY "${tree}" "${bin}")
file(GLOB entries LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*" "${SOURCE_DIR}/.*")
foreach(entry IN LISTS entries)
  if(NOT entry MATCHES "^(build|\\.git|\\.|\\.\\.)$")
    file(COPY "${SOURCE_DIR}/${entry}" DESTINATION "${tree}")
  endif()
endforeach()
lumox_package_stand_ins("${bin}")

set(problems)
# case | packages missing | what standard error shows
set(cases
  "every package present||"
  "libstb-dev missing|libstb-dev|Setting up libstb-dev:amd64")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 what)
  list(GET case 1 missing)
  list(GET case 2 shown)
  set(log "${WORK_DIR}/apt-calls.txt")
  file(REMOVE "${log}")
  lumox_run_with_stand_ins("${bin}" "${tree}" "STANDIN_MISSING=${missing};STANDIN_LOG=${log}"
    "${WORK_DIR}/out.rib" "${WORK_DIR}/err.txt" status scripts/run-example.sh)
  file(READ "${WORK_DIR}/err.txt" err)
  if(NOT status EQUAL 0)
    list(APPEND problems "${what}: exit status ${status}:\n${err}")
    continue()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK_DIR}/out.rib" "${GOLDEN}" RESULT_VARIABLE differ)
  if(differ)
    file(READ "${WORK_DIR}/out.rib" out)
    list(APPEND problems "${what}: standard output is not ${GOLDEN}:\n${out}")
  endif()
  # The script's own lines and CMake's went to standard error.
  foreach(line "== build/linux-install/bin/ddhost" "-- Build files have been written to")
    string(FIND "${err}" "${line}" at)
    if(at EQUAL -1)
      list(APPEND problems "${what}: standard error lacks \"${line}\"")
    endif()
  endforeach()
  if(missing)
    string(FIND "${err}" "${shown}" at)
    if(at EQUAL -1 OR NOT EXISTS "${log}")
      list(APPEND problems "${what}: apt was not run, or its output is not on standard error:\n${err}")
    endif()
  elseif(EXISTS "${log}")
    file(READ "${log}" calls)
    list(APPEND problems "${what}: apt was run: ${calls}")
  endif()
endforeach()
lumox_fail_on_problems("${problems}")
