#!/usr/bin/env bash
# Builds the Linux leg, installs it into a local prefix, and runs the
# installed stand-in host on an example: the RIB goes to the terminal and
# the 3D viewer into a PNG. On a fresh machine it first installs what the
# build needs.
#
#   scripts/run-example.sh [EXAMPLE.ddscript [ddhost options...]]
set -euo pipefail
cd "$(dirname "$0")/.."

example=${1:-examples/several-lights.ddscript}
shift || true
prefix=build/linux-install
picture=build/viewer.png

scripts/install-dependencies.sh
cmake --preset linux
cmake --build --preset linux
cmake --install build/linux --prefix "$prefix"

echo "== $prefix/bin/ddhost ${*:+$* }--viewer $picture $example"
"$prefix/bin/ddhost" "$@" --viewer "$picture" "$example"
echo "== Viewer picture: $picture"
