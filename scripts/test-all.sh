#!/usr/bin/env bash
# Builds both legs (Linux x86-64 and Windows x64) and runs every test: the
# Linux suite natively and under sanitizers, short fuzz runs, and the Windows
# suite under Wine.
# On a fresh machine it first installs the Debian packages it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-dependencies.sh

echo "== Linux x86-64"
cmake --preset linux
cmake --build --preset linux
ctest --preset linux

for preset in asan tsan fuzz; do
  echo "== Linux, $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== Linux, benchmarks (built, not run: figures want a quiet machine)"
cmake --preset bench
cmake --build --preset bench

echo "== Windows x64 (under Wine)"
export WINEPREFIX="${WINEPREFIX:-${HOME:-/tmp}/.wine-lumoxindirect}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# One persistent wineserver for the whole run, so each test program starts
# quickly. A new prefix is made first; the server wineboot leaves behind
# would exit when idle, so it is replaced.
if [[ ! -d $WINEPREFIX ]]; then
  cmake/wine-run.sh wineboot -u </dev/null >/dev/null 2>&1 || true
  "$wineserver" -k >/dev/null 2>&1 || true
fi
"$wineserver" -p >/dev/null 2>&1 || true  # already running is fine
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
# Start Wine's own services now, detached from ctest: services started from
# inside a test would hold its output pipe open and stall ctest.
cmake/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 || true

cmake --preset windows
cmake --build --preset windows
ctest --preset windows
