#!/usr/bin/env bash
# Builds Skelvin.exe and its tests with mingw-w64 and runs the tests under
# wine, in a wine prefix of the build's own.
set -euo pipefail
cd "$(dirname "$0")/.."

export WINEDEBUG=-all
export WINEARCH=win32
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
# A program that crashes must end, not wait in wine's interactive debugger.
export WINEDLLOVERRIDES="winedbg.exe=d"

# One wine server for the whole run: wine's own background services start
# once, here, with their output going nowhere, instead of inside whichever
# test happens to start the server.
mkdir -p "$(dirname "$WINEPREFIX")"
wineserver -p
trap 'wineserver -k || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating the wine prefix $WINEPREFIX"
fi
wineboot --init >/dev/null 2>&1 || true

cmake --workflow --preset windows
