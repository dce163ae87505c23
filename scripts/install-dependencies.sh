#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if missing.
#
#   scripts/install-dependencies.sh              everything the test command needs
#   scripts/install-dependencies.sh --main-job   only the Linux main job's
#                                                (scripts/run-example.sh)
set -euo pipefail

# The main job: the plug-in and the stand-in host on Linux, the viewer picture.
main_job=(
  cmake ninja-build g++               # the native build
  libboost-dev libboost-thread-dev    # call_once, noncopyable, string algorithms, tokenizer
  libcli11-dev                        # ddhost's command line
  libstb-dev                          # PNG for ddhost's viewer picture and its tests
  libopengl-dev libgl-dev             # the platform's OpenGL ABI (GLVND) the plug-in links
  libegl-dev libegl-mesa0             # ddhost's and the tests' off-screen context: EGL, Mesa's
  libgl1-mesa-dri                     # Mesa's llvmpipe, which draws on both legs
)
# The test command: both legs, sanitizers, fuzzing, benchmarks, the API reference.
tests=(
  file                                # the plug-in's kind, in its tests
  libgtest-dev libgmock-dev           # tests (and GoogleTest sources for the Windows leg)
  libbenchmark-dev                    # benchmarks
  doxygen                             # the bridge API reference (target docs)
  g++-mingw-w64-x86-64-posix          # the Windows x64 leg
  wine64                              # runs the Windows leg's tests
  xvfb libgl1                         # an X display and Mesa's GLX for Wine
  clang libclang-rt-14-dev            # libFuzzer targets
  clang-tools lld llvm                # clang-cl, lld-link, llvm-rc/-lib/-mt: the MSVC-style configure check, the MSVC-ABI leg
  libwine-dev wine64-tools            # the MSVC-ABI leg: Wine's C runtime and Windows headers
  valgrind                            # memory checks of ddhost
  gcovr                               # line and branch coverage of the plug-in's code
)

case "${1:-}" in
  --main-job) packages=("${main_job[@]}") ;;
  "") packages=("${main_job[@]}" "${tests[@]}") ;;
  *) echo "usage: $0 [--main-job]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
