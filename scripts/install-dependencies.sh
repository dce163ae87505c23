#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ file          # the native build
  libgtest-dev libgmock-dev           # tests (and GoogleTest sources for the Windows leg)
  libbenchmark-dev                    # benchmarks
  libboost-dev libboost-thread-dev    # call_once, noncopyable, string algorithms, tokenizer
  libcli11-dev                        # ddhost's command line
  libstb-dev                          # PNG for ddhost's viewer picture and its tests
  libopengl-dev libgl-dev             # the platform's OpenGL ABI (GLVND) the plug-in links
  libegl-dev libegl-mesa0             # ddhost's and the tests' off-screen context: EGL, Mesa's
  libgl1-mesa-dri                     # Mesa's llvmpipe, which draws on both legs
  g++-mingw-w64-x86-64-posix          # the Windows x64 leg
  wine64                              # runs the Windows leg's tests
  xvfb libgl1                         # an X display and Mesa's GLX for Wine
  clang libclang-rt-14-dev            # libFuzzer targets
  valgrind                            # memory checks of ddhost
  gcovr                               # line and branch coverage of the plug-in's code
)

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
