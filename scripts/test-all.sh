#!/usr/bin/env bash
# Builds both legs (Linux x86-64 and Windows x64) and runs every test: the
# Linux suite natively and under sanitizers, short fuzz runs, and the Windows
# suite under Wine.
# On a fresh machine it first installs the Debian packages it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-dependencies.sh
# Everything an OpenGL context needs is installed now: a drawing test that
# cannot have one fails rather than skips.
export LUMOX_REQUIRE_GL=1

echo "== Linux x86-64"
cmake --preset linux
cmake --build --preset linux
ctest --preset linux
echo "== API reference of the bridge headers (an undocumented member fails it)"
cmake --build --preset linux --target docs

echo "== Linux, a host SDK of libstdc++'s old std::string ABI (_GLIBCXX_USE_CXX11_ABI=0)"
# The stand-in SDK and ddhost only; the checks build the plug-in alone
# against them, as a studio would, and run it.
cmake --preset old-abi
cmake --build --preset old-abi
cmake -DSOURCE_DIR="$PWD" -DBUILD_DIR="$PWD/build/old-abi" -DWORK_DIR="$PWD/build/old-abi-checks" \
  -P tests/cmake/OldAbiLeg.cmake

for preset in asan tsan fuzz; do
  echo "== Linux, $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== Linux, coverage of the plug-in's code (figures and floor: gcovr.cfg)"
cmake --preset coverage
cmake --build --preset coverage
cmake --build --preset coverage --target coverage_reset
ctest --preset coverage
cmake --build --preset coverage --target coverage

echo "== Linux, benchmarks (built, not run: figures want a quiet machine)"
cmake --preset bench
cmake --build --preset bench

echo "== Windows x64 (under Wine)"
export WINEPREFIX="${WINEPREFIX:-${HOME:-/tmp}/.wine-lumoxindirect}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's OpenGL needs an X display: our own Xvfb, on a display number it
# picks itself (-displayfd), whatever else the machine runs; Mesa draws.
xvfb_dir=$(mktemp -d)
xvfb_pid=
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
stop_display() {
  "$wineserver" -k >/dev/null 2>&1 || true
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$xvfb_dir"
}
trap stop_display EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$xvfb_dir/display" >"$xvfb_dir/log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s $xvfb_dir/display ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$xvfb_dir/log" >&2; echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[[ -s $xvfb_dir/display ]] || { echo "Xvfb gave no display number" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$xvfb_dir/display")"
echo "Wine draws on Xvfb display $DISPLAY"

# One persistent wineserver for the whole run, so each test program starts
# quickly. A new prefix is made first; the server wineboot leaves behind
# would exit when idle, so it is replaced.
if [[ ! -d $WINEPREFIX ]]; then
  cmake/wine-run.sh wineboot -u </dev/null >/dev/null 2>&1 || true
  "$wineserver" -k >/dev/null 2>&1 || true
fi
"$wineserver" -p >/dev/null 2>&1 || true  # already running is fine
# Start Wine's own services now, detached from ctest: services started from
# inside a test would hold its output pipe open and stall ctest.
cmake/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 || true

cmake --preset windows
cmake --build --preset windows
ctest --preset windows

# == Windows x64 in the MSVC C++ ABI (clang-cl, Microsoft's STL; under Wine)
# Needs Microsoft's STL (docs/building.md): LUMOX_MSVC_STL_DIR, or
# ../shared/msvc-stl beside the project. Without either the leg is skipped,
# and said so at the end; LUMOX_REQUIRE_MSVC_ABI=1 makes that a failure.
# Reuses the Windows leg's display and wineserver.
msvc_abi_skipped=
default_stl="$(cd .. && pwd)/shared/msvc-stl"
if [[ -z ${LUMOX_MSVC_STL_DIR:-} && -d $default_stl ]]; then
  export LUMOX_MSVC_STL_DIR="$default_stl"
fi
if [[ -n ${LUMOX_MSVC_STL_DIR:-} ]]; then
  echo "== Windows x64, MSVC ABI (under Wine; STL from $LUMOX_MSVC_STL_DIR)"
  # Configure refuses a folder that holds no usable STL, or another version.
  cmake --preset msvc-abi
  cmake --build --preset msvc-abi
  ctest --preset msvc-abi
else
  msvc_abi_skipped="neither LUMOX_MSVC_STL_DIR is set nor $default_stl exists (Microsoft's STL, see docs/building.md)"
fi
if [[ -n $msvc_abi_skipped ]]; then
  echo "== SKIPPED: the MSVC-ABI leg: $msvc_abi_skipped"
  if [[ ${LUMOX_REQUIRE_MSVC_ABI:-0} == 1 ]]; then
    echo "LUMOX_REQUIRE_MSVC_ABI=1: a skipped MSVC-ABI leg is a failure" >&2
    exit 1
  fi
fi
