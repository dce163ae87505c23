#!/usr/bin/env bash
# The test command: builds both legs (Linux x86-64 and Windows x64) and runs
# every suite: the Linux suite natively and under sanitizers, short fuzz
# runs, coverage, the old-ABI leg, the API reference, the benchmarks' build,
# and the Windows suite under Wine. Each suite runs in a shell of its own,
# so a failing one stops none of the others; a summary closes the run, and
# the exit status is non-zero when any suite failed or could not start.
# On a fresh machine it first installs the Debian packages it needs.
#
#   scripts/test-all.sh [SUITE...]   every suite, or only those named
#
# No `set -e` here: this shell collects statuses, each suite's shell stops
# at its first failing command.
set -uo pipefail
cd "$(dirname "$0")/.." || exit

# Each suite's commands, run by `bash -euo pipefail -c`. Separate commands
# with `;` or new lines, never `&&`: `set -e` lets a failure inside an `&&`
# list pass.
preset_suite() {
  cmake --preset "$1"
  cmake --build --preset "$1"
  ctest --preset "$1"
}
export -f preset_suite

# An input a suite may lack by choice: absent, it prints why and fails; the
# suite is then skipped, which fails the run only under
# LUMOX_REQUIRE_<SUITE>=1 (say LUMOX_REQUIRE_MSVC_ABI).
msvc_stl() {
  if [[ -n ${LUMOX_MSVC_STL_DIR:-} ]]; then
    return 0
  fi
  if [[ -d ../shared/msvc-stl ]]; then
    LUMOX_MSVC_STL_DIR=$(cd ../shared/msvc-stl && pwd)
    export LUMOX_MSVC_STL_DIR
    return 0
  fi
  echo "no Microsoft STL: LUMOX_MSVC_STL_DIR is unset and ../shared/msvc-stl does not exist"
  return 1
}

declare -a suites=()
declare -A suite_ctest=() suite_needs=() suite_input=() suite_commands=()
suite() {
  suites+=("$1")
  suite_ctest[$1]=$2 suite_needs[$1]=$3 suite_input[$1]=$4 suite_commands[$1]=$5
}
# A suite a line: its name; the ctest preset whose counts it reports (- for
# none); what it needs started first (wine: the X display and wineserver the
# Windows-type suites share); the input it may lack by choice (a function
# above, or -); its commands, in single quotes: they expand in the suite's
# shell.
suite linux         linux    -    -        'preset_suite linux'
suite api-reference -        -    -        'cmake --preset linux; cmake --build --preset linux --target docs'
# shellcheck disable=SC2016
suite old-abi       -        -    -        'cmake --preset old-abi; cmake --build --preset old-abi
  cmake -DSOURCE_DIR="$PWD" -DBUILD_DIR="$PWD/build/old-abi" -DWORK_DIR="$PWD/build/old-abi-checks" -P tests/cmake/OldAbiLeg.cmake'
suite asan          asan     -    -        'preset_suite asan'
suite tsan          tsan     -    -        'preset_suite tsan'
suite fuzz          fuzz     -    -        'preset_suite fuzz'
suite asan-clang    asan-clang - -      'preset_suite asan-clang'
suite coverage      coverage -    -        'cmake --preset coverage; cmake --build --preset coverage
  cmake --build --preset coverage --target coverage_reset; ctest --preset coverage
  cmake --build --preset coverage --target coverage'
suite benchmarks    -        -    -        'cmake --preset bench; cmake --build --preset bench'
suite windows       windows  wine -        'preset_suite windows'
suite msvc-abi      msvc-abi wine msvc_stl 'preset_suite msvc-abi'

selected=("${suites[@]}")
if (($#)); then
  for name in "$@"; do
    [[ -n ${suite_commands[$name]+set} ]] || { echo "usage: $0 [SUITE...]; suites: ${suites[*]}" >&2; exit 2; }
  done
  selected=()
  for name in "${suites[@]}"; do
    for wanted in "$@"; do [[ $name == "$wanted" ]] && selected+=("$name"); done
  done
fi

log_dir=build/test-all
mkdir -p "$log_dir"

# --- The Wine display and server, started for the first suite that needs
# them and kept for the others; stopped at the end.
export WINEPREFIX="${WINEPREFIX:-${HOME:-/tmp}/.wine-lumoxindirect}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_state=        # empty until tried, then "up" or why it is not
wine_env=()
xvfb_dir=
xvfb_pid=
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

stop_wine() {
  [[ -n $wine_state ]] || return 0
  "$wineserver" -k >/dev/null 2>&1 || true
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  [[ -z $xvfb_dir ]] || rm -rf "$xvfb_dir"
}
trap stop_wine EXIT

start_wine() {
  # Wine's OpenGL needs an X display: our own Xvfb, on a display number it
  # picks itself (-displayfd), whatever else the machine runs; Mesa draws.
  xvfb_dir=$(mktemp -d)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$xvfb_dir/display" >"$xvfb_dir/log" 2>&1 &
  xvfb_pid=$!
  local _
  for _ in $(seq 100); do
    [[ -s $xvfb_dir/display ]] && break
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
      cat "$xvfb_dir/log" >&2
      xvfb_pid=
      wine_state="Xvfb did not start"
      return 1
    fi
    sleep 0.1
  done
  if [[ ! -s $xvfb_dir/display ]]; then
    wine_state="Xvfb gave no display number"
    return 1
  fi
  wine_env=(DISPLAY=":$(head -n1 "$xvfb_dir/display")")
  echo "Wine draws on Xvfb display ${wine_env[0]#DISPLAY=}"

  # One persistent wineserver for the whole run, so each test program starts
  # quickly. A new prefix is made first; the server wineboot leaves behind
  # would exit when idle, so it is replaced.
  if [[ ! -d $WINEPREFIX ]]; then
    env "${wine_env[@]}" cmake/wine-run.sh wineboot -u </dev/null >/dev/null 2>&1 || true
    "$wineserver" -k >/dev/null 2>&1 || true
  fi
  "$wineserver" -p >/dev/null 2>&1 || true  # already running is fine
  # Start Wine's own services now, detached from ctest: services started from
  # inside a test would hold its output pipe open and stall ctest.
  env "${wine_env[@]}" cmake/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 || true
  wine_state=up
}

# --- Running a suite and reading its results.
declare -A status=() note=() elapsed=() counts=()
skipped_tests=()   # "suite: what", for the summary

duration() {
  local s=$1
  if ((s >= 60)); then echo "$((s / 60)) min $((s % 60)) s"; else echo "$s s"; fi
}

# ctest's own summary, from the suite's log: P passed, F failed, S skipped,
# T total (ctest counts a skipped test as passed; a disabled one not at all).
read_ctest_counts() {
  local name=$1 log=$2 preset=${suite_ctest[$1]} line failed total skipped
  line=$(grep -aoE '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  [[ -n $line ]] || return 0
  [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]
  failed=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
  local not_run=()
  mapfile -t not_run < <(sed -n '/^The following tests did not run:/,/^$/p' "$log" \
    | sed -nE 's/^[[:space:]]*[0-9]+ - ([^ ]+) \((Skipped|Disabled)\)\r?$/\1 (\2)/p')
  skipped=0
  local test
  for test in "${not_run[@]}"; do
    [[ $test == *"(Skipped)" ]] && skipped=$((skipped + 1))
    skipped_tests+=("$name: test ${test% (*} ${test##* }")
  done
  counts[$name]="$((total - failed - skipped)) passed, $failed failed, $skipped skipped, $total total"
  # Cases a GoogleTest program skipped: its test passes, so they show only
  # in the output ctest keeps of every test; each named with its test.
  local last=build/$preset/Testing/Temporary/LastTest.log cases=()
  if [[ -f $last && $last -nt $log_dir/$name.start ]]; then
    mapfile -t cases < <(tr -d '\r' <"$last" | awk '
      /^[0-9]+\/[0-9]+ Testing: / { test = $3 }
      /^\[  SKIPPED \] [^ ]+ \([0-9]+ ms\)$/ { print $4 " (" test ")" }')
    if ((${#cases[@]})); then
      counts[$name]+="; ${#cases[@]} GoogleTest cases skipped"
      for test in "${cases[@]}"; do skipped_tests+=("$name: case $test"); done
    fi
  fi
}

run_suite() {
  local name=$1 log=$log_dir/$1.log started=$SECONDS rc
  echo "== $name"
  touch "$log_dir/$name.start"
  env "${extra_env[@]}" bash -euo pipefail -c "${suite_commands[$name]}" </dev/null 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  elapsed[$name]=$(duration $((SECONDS - started)))
  if ((rc == 0)); then status[$name]=passed; else status[$name]=failed note[$name]="exit status $rc"; fi
  [[ ${suite_ctest[$name]} == - ]] || read_ctest_counts "$name" "$log"
}

# --- The run.
dependencies=ok
if ! scripts/install-dependencies.sh; then
  dependencies="installing the dependencies failed"
fi
# Everything an OpenGL context needs is installed now: a drawing test that
# cannot have one fails rather than skips.
export LUMOX_REQUIRE_GL=1

failed_steps=0
for name in "${selected[@]}"; do
  extra_env=()
  if [[ $dependencies != ok ]]; then
    status[$name]=skipped note[$name]="not started: $dependencies"
    failed_steps=$((failed_steps + 1))
    continue
  fi
  if [[ ${suite_input[$name]} != - ]]; then
    if ! reason=$("${suite_input[$name]}"); then
      required=LUMOX_REQUIRE_$(tr 'a-z-' 'A-Z_' <<<"$name")
      if [[ ${!required:-} == 1 ]]; then
        status[$name]=failed note[$name]="not started: $reason, and $required=1"
      else
        status[$name]=skipped note[$name]=$reason
      fi
      continue
    fi
    # What the check found (a default location) holds for the suite too.
    "${suite_input[$name]}" >/dev/null
  fi
  if [[ ${suite_needs[$name]} == wine ]]; then
    [[ -n $wine_state ]] || start_wine
    if [[ $wine_state != up ]]; then
      status[$name]=failed note[$name]="not started: $wine_state"
      continue
    fi
    extra_env=("${wine_env[@]}")
  fi
  run_suite "$name"
done

# --- The summary: a line a suite, then what was skipped inside them.
echo
echo "== Summary"
passed=0 failed=0 skipped=0
for name in "${selected[@]}"; do
  case ${status[$name]} in
    passed) passed=$((passed + 1)) ;;
    failed) failed=$((failed + 1)) ;;
    skipped) skipped=$((skipped + 1)) ;;
  esac
  line=$(printf '%-14s %-8s' "$name" "${status[$name]}")
  [[ -z ${counts[$name]:-} ]] || line+="  ctest: ${counts[$name]}"
  [[ -z ${elapsed[$name]:-} ]] || line+="  (${elapsed[$name]})"
  [[ -z ${note[$name]:-} ]] || line+="  ${note[$name]}"
  echo "$line"
done
if ((${#skipped_tests[@]})); then
  echo "Skipped or not run inside the suites:"
  printf '  %s\n' "${skipped_tests[@]}"
fi
echo "Logs: $log_dir/SUITE.log"
echo "test-all: $passed passed, $failed failed, $skipped skipped"
((failed == 0 && failed_steps == 0))
