cmake_minimum_required(VERSION 3.25)
# The test command runs every suite whatever fails, and ends with a line a
# suite and `test-all: N passed, N failed, N skipped`; its status is
# non-zero when a suite failed or could not start. Stand-ins play cmake,
# ctest, the package tools, Xvfb, wineserver and Wine, on a copy of the
# scripts, with a Wine prefix of its own.
#   -DSOURCE_DIR -DWORK_DIR
include(${CMAKE_CURRENT_LIST_DIR}/StandIns.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
set(bin "${WORK_DIR}/bin")
file(MAKE_DIRECTORY "${bin}")
lumox_package_stand_ins("${bin}")
# cmake fails when its arguments are exactly $STANDIN_CMAKE_FAILS.
lumox_stand_in("${bin}" cmake [=[
echo "cmake $*" >>"$STANDIN_LOG"
[ "$*" != "${STANDIN_CMAKE_FAILS:-}" ] || { echo "ninja: build stopped: subcommand failed." >&2; exit 1; }
]=])
# ctest prints its summary, as ctest does, with one test skipped, and keeps
# the output of a GoogleTest program that skipped one case; the preset in
# $STANDIN_CTEST_FAILS has one test of six failing.
lumox_stand_in("${bin}" ctest [=[
preset=$2
echo "ctest $* LUMOX_MSVC_STL_DIR=${LUMOX_MSVC_STL_DIR:-} DISPLAY=${DISPLAY:-}" >>"$STANDIN_LOG"
mkdir -p "build/$preset/Testing/Temporary"
printf '1/6 Testing: standin_program\n[ RUN      ] Standin.SkipsACase\n[  SKIPPED ] Standin.SkipsACase (0 ms)\n' >"build/$preset/Testing/Temporary/LastTest.log"
if [ "$preset" = "${STANDIN_CTEST_FAILS:-}" ]; then
  printf '\n83%% tests passed, 1 tests failed out of 6\n\nThe following tests did not run:\n\t  5 - standin_tool_test (Skipped)\n\nThe following tests FAILED:\n\t  2 - standin_failing (Failed)\n'
  exit 8
fi
printf '\n100%% tests passed, 0 tests failed out of 6\n\nThe following tests did not run:\n\t  5 - standin_tool_test (Skipped)\n\n'
]=])
lumox_stand_in("${bin}" Xvfb [=[
if [ -n "${STANDIN_XVFB_FAILS:-}" ]; then echo "(EE) Fatal server error" >&2; exit 1; fi
echo "Xvfb $$" >>"$STANDIN_LOG"
echo 99 >&3
exec sleep 600
]=])
lumox_stand_in("${bin}" wineserver [=[echo "wineserver $* WINEPREFIX=$WINEPREFIX" >>"$STANDIN_LOG"
]=])
lumox_stand_in("${bin}" wine [=[echo "wine $* DISPLAY=$DISPLAY" >>"$STANDIN_LOG"
]=])

set(all_suites linux api-reference old-abi asan tsan fuzz asan-clang coverage benchmarks windows msvc-abi)
# case | environment (, between) | where the STL is | status | ctest runs |
# last line | lines the summary shows (& between)
set(cases
  "a failing ctest|STANDIN_CTEST_FAILS=asan||failing|7|test-all: 9 passed, 1 failed, 1 skipped|asan +failed +ctest: 4 passed, 1 failed, 1 skipped, 6 total&tsan +passed&windows +passed"
  "a failing build, the first suite's|STANDIN_CMAKE_FAILS=--build --preset linux||failing|6|test-all: 9 passed, 1 failed, 1 skipped|linux +failed [^\n]*exit status 1&api-reference +passed&windows +passed"
  "no X display for Wine|STANDIN_XVFB_FAILS=1||failing|6|test-all: 9 passed, 1 failed, 1 skipped|windows +failed +not started: Xvfb did not start&benchmarks +passed"
  "no Microsoft STL|||passing|7|test-all: 10 passed, 0 failed, 1 skipped|msvc-abi +skipped +no Microsoft STL&linux +passed +ctest: 5 passed, 0 failed, 1 skipped, 6 total. 1 GoogleTest cases skipped&  linux: case Standin.SkipsACase .standin_program.&  linux: test standin_tool_test .Skipped."
  "no Microsoft STL where it is required|LUMOX_REQUIRE_MSVC_ABI=1||failing|7|test-all: 10 passed, 1 failed, 0 skipped|msvc-abi +failed +not started: no Microsoft STL[^\n]*LUMOX_REQUIRE_MSVC_ABI=1"
  "the STL beside the project|LUMOX_REQUIRE_MSVC_ABI=1|shared/msvc-stl|passing|8|test-all: 11 passed, 0 failed, 0 skipped|msvc-abi +passed&windows +passed"
  "the dependencies cannot be installed|STANDIN_MISSING=libstb-dev,STANDIN_APT_FAILS=1||failing|0|test-all: 0 passed, 0 failed, 11 skipped|linux +skipped +not started: installing the dependencies failed&msvc-abi +skipped")

set(problems)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 what)
  list(GET case 1 env)
  list(GET case 2 stl)
  list(GET case 3 expected_status)
  list(GET case 4 expected_ctests)
  list(GET case 5 expected_last)
  list(GET case 6 expected_lines)
  string(REPLACE "," ";" env "${env}")
  string(REPLACE "&" ";" expected_lines "${expected_lines}")

  # A fresh copy of what the command runs, in a folder of its own.
  set(dir "${WORK_DIR}/case")
  file(REMOVE_RECURSE "${dir}")
  set(tree "${dir}/project")
  file(MAKE_DIRECTORY "${tree}/scripts" "${tree}/cmake")
  file(COPY "${SOURCE_DIR}/scripts/test-all.sh" "${SOURCE_DIR}/scripts/install-dependencies.sh"
    DESTINATION "${tree}/scripts")
  file(COPY "${SOURCE_DIR}/cmake/wine-run.sh" DESTINATION "${tree}/cmake")
  if(stl)
    file(MAKE_DIRECTORY "${dir}/${stl}")
  endif()
  set(log "${dir}/calls.txt")
  file(WRITE "${log}" "")
  lumox_run_with_stand_ins("${bin}" "${tree}"
    "--unset=LUMOX_MSVC_STL_DIR;--unset=LUMOX_REQUIRE_MSVC_ABI;--unset=DISPLAY;WINEPREFIX=${dir}/wineprefix;LUMOX_WINE=${bin}/wine;STANDIN_LOG=${log};${env}"
    "${dir}/out.txt" "${dir}/err.txt" status scripts/test-all.sh)
  file(READ "${dir}/out.txt" out)
  file(READ "${log}" calls)
  set(problems_before "${problems}")

  if(expected_status STREQUAL "passing" AND NOT status EQUAL 0)
    list(APPEND problems "${what}: exit status ${status}, expected 0")
  elseif(expected_status STREQUAL "failing" AND status EQUAL 0)
    list(APPEND problems "${what}: exit status 0, expected non-zero")
  endif()
  if(NOT out MATCHES "\n${expected_last}\n$")
    list(APPEND problems "${what}: the last line is not \"${expected_last}\"")
  endif()
  # A summary line for every suite, the expected ones as given.
  string(REGEX REPLACE ".*\n== Summary\n" "" summary "${out}")
  foreach(suite IN LISTS all_suites)
    if(NOT summary MATCHES "(^|\n)${suite} +(passed|failed|skipped)")
      list(APPEND problems "${what}: no summary line for ${suite}")
    endif()
  endforeach()
  # Each suite that started keeps its output, ctest's summary included.
  foreach(suite IN LISTS all_suites)
    set(suite_log "${tree}/build/test-all/${suite}.log")
    if(summary MATCHES "(^|\n)${suite} +(passed|failed) " AND NOT summary MATCHES "(^|\n)${suite} +failed +not started")
      if(NOT EXISTS "${suite_log}")
        list(APPEND problems "${what}: no ${suite_log}")
      elseif(calls MATCHES "ctest --preset ${suite} ")
        file(READ "${suite_log}" suite_output)
        if(NOT suite_output MATCHES "% tests passed, ")
          list(APPEND problems "${what}: ${suite_log} lacks ctest's summary")
        endif()
      endif()
    endif()
  endforeach()
  foreach(line IN LISTS expected_lines)
    if(NOT summary MATCHES "(^|\n)${line}")
      list(APPEND problems "${what}: the summary has no line \"${line}\"")
    endif()
  endforeach()

  # Every suite was started unless its step failed; the display and the
  # server were started once at most, for the Wine suites, and stopped.
  string(REGEX MATCHALL "ctest --preset [a-z-]+" ctests "${calls}")
  string(REGEX MATCHALL "Xvfb [0-9]+" displays "${calls}")
  list(LENGTH ctests ctest_count)
  list(LENGTH displays display_count)
  if(NOT ctest_count EQUAL expected_ctests)
    list(APPEND problems "${what}: ${ctest_count} ctest runs, expected ${expected_ctests}")
  endif()
  if(display_count GREATER 1)
    list(APPEND problems "${what}: Xvfb started ${display_count} times")
  endif()
  foreach(display IN LISTS displays)
    string(REPLACE "Xvfb " "" pid "${display}")
    execute_process(COMMAND kill -0 ${pid} RESULT_VARIABLE alive ERROR_QUIET)
    if(alive EQUAL 0)
      execute_process(COMMAND kill ${pid})
      list(APPEND problems "${what}: Xvfb (${pid}) still runs after the command")
    endif()
    if(NOT calls MATCHES "wineserver -k WINEPREFIX=${dir}/wineprefix\n$")
      list(APPEND problems "${what}: the Wine server of ${dir}/wineprefix was not stopped last")
    endif()
    if(NOT calls MATCHES "ctest --preset windows LUMOX_MSVC_STL_DIR=[^\n]* DISPLAY=:99\n")
      list(APPEND problems "${what}: the windows suite did not get the display")
    endif()
  endforeach()
  if(stl AND NOT calls MATCHES "ctest --preset msvc-abi LUMOX_MSVC_STL_DIR=${dir}/${stl} DISPLAY=:99\n")
    list(APPEND problems "${what}: the msvc-abi suite did not get the STL beside the project and the display")
  endif()
  if(NOT "${problems}" STREQUAL "${problems_before}")
    list(APPEND problems "--- ${what}: its output:\n${out}\n--- the stand-ins' calls:\n${calls}")
  endif()
endforeach()
lumox_fail_on_problems("${problems}")
