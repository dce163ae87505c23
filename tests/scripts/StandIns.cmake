# Stand-in programs for the scripts' tests: each is a shell script written
# into a bin/ folder put first on PATH.

# lumox_stand_in(BIN_DIR NAME TEXT): BIN_DIR/NAME, executable, TEXT its body.
function(lumox_stand_in bin_dir name text)
  file(WRITE "${bin_dir}/${name}" "#!/bin/sh\n${text}")
  file(CHMOD "${bin_dir}/${name}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
endfunction()

# dpkg-query answers "installed" for every package but those in
# $STANDIN_MISSING; apt-get prints what apt prints, and records its calls
# in $STANDIN_LOG; with $STANDIN_APT_FAILS it fails as apt does. sudo runs
# its command (the scripts call it when not root).
function(lumox_package_stand_ins bin_dir)
  lumox_stand_in("${bin_dir}" dpkg-query [=[
for package; do :; done
case " ${STANDIN_MISSING:-} " in
  *" $package "*) echo "dpkg-query: no packages found matching $package" >&2; exit 1 ;;
esac
printf 'install ok installed'
]=])
  lumox_stand_in("${bin_dir}" apt-get [=[
echo "apt-get $*" >>"$STANDIN_LOG"
case $1 in
  update) echo "Hit:1 http://deb.debian.org/debian bookworm InRelease"; echo "Reading package lists..." ;;
  install)
    if [ -n "${STANDIN_APT_FAILS:-}" ]; then
      echo "E: Unable to locate package $STANDIN_MISSING" >&2; exit 100
    fi
    for package in $STANDIN_MISSING; do
      echo "Selecting previously unselected package $package:amd64."
      echo "(Reading database ... 123456 files and directories currently installed.)"
      echo "Preparing to unpack .../${package}_1.0-1_amd64.deb ..."
      echo "Unpacking $package:amd64 (1.0-1) ..."
      echo "Setting up $package:amd64 (1.0-1) ..."
    done ;;
esac
]=])
  lumox_stand_in("${bin_dir}" sudo [=[exec "$@"
]=])
endfunction()

# Runs COMMAND in DIR with ENV (a list of NAME=VALUE) and the stand-ins of
# BIN_DIR first on PATH; its outputs go to OUT and ERR, its status to RESULT.
function(lumox_run_with_stand_ins bin_dir dir env out err result)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "PATH=${bin_dir}:$ENV{PATH}" ${env} ${ARGN}
    WORKING_DIRECTORY "${dir}" OUTPUT_FILE "${out}" ERROR_FILE "${err}" RESULT_VARIABLE status)
  set(${result} ${status} PARENT_SCOPE)
endfunction()

# Fails the script with every problem found, each on its own line; NOTICE
# keeps the outputs' lines in them as they are.
function(lumox_fail_on_problems problems)
  if(problems)
    string(REPLACE ";" "\n" problems "${problems}")
    message(NOTICE "${problems}")
    message(FATAL_ERROR "see above")
  endif()
endfunction()
