#!/usr/bin/env bash
# Builds the plug-in and the stand-in host for Linux, installs them into a
# local prefix, and runs the installed stand-in host on an example: the RIB
# goes to standard output and the 3D viewer into a PNG. On a fresh machine
# it first installs what the build needs.
#
#   scripts/run-example.sh [EXAMPLE.ddscript [ddhost options...]] > scene.rib
set -euo pipefail
cd "$(dirname "$0")/.."

# Standard output is the RIB's alone: everything else (apt, CMake, these
# lines) goes to standard error.
exec 3>&1 1>&2

example=${1:-examples/several-lights.ddscript}
shift || true
prefix=build/linux-install
picture=build/viewer.png

# Only what this job needs: no cross compiler, no Wine, no tests.
scripts/install-dependencies.sh --main-job
cmake --preset main-job
cmake --build --preset main-job
cmake --install build/main-job --prefix "$prefix"

echo "== $prefix/bin/ddhost ${*:+$* }--viewer $picture $example"
"$prefix/bin/ddhost" "$@" --viewer "$picture" "$example" >&3 3>&-
echo "== Viewer picture: $picture"
