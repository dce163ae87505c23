#!/bin/sh
# Runs a Windows program of the build under Wine. Keep one wineserver up for
# a whole test run (wineserver -p) so each program starts quickly.
set -e
: "${WINEPREFIX:=${HOME:-/tmp}/.wine-lumoxindirect}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=${LUMOX_WINE:-}
if [ -z "$wine" ]; then
  for candidate in /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 "$(command -v wine64 2>/dev/null)" "$(command -v wine 2>/dev/null)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then wine=$candidate; break; fi
  done
fi
[ -n "$wine" ] || { echo "wine-run: no Wine found (install wine64)" >&2; exit 127; }
exec "$wine" "$@"
