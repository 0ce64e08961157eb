#!/usr/bin/env bash
# Builds Skelvin.exe and its tests with mingw-w64 and runs the tests under
# wine, in a wine prefix of the build's own.
set -euo pipefail
cd "$(dirname "$0")/.."

export WINEDEBUG=-all
export WINEARCH=win32
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
# Wine's background services (device manager, plug and play, service
# control) are not needed by console programs, and under emulation they crash
# now and then, printing into the standard error of whichever test started
# them and holding its output open. Tests run without them; a program that
# crashes ends instead of waiting in wine's debugger.
tests_without_services="winedbg.exe,services.exe,winedevice.exe,plugplay.exe,explorer.exe,svchost.exe=d"

# Wine starts the prefix's server itself (the native one where it is
# installed); this only names the server program that the script uses to
# wait for it to end.
if [ -x /usr/lib/wine/wineserver32 ]; then
    export WINESERVER=/usr/lib/wine/wineserver32
fi
server="${WINESERVER:-wineserver}"
# Creating the prefix takes a while; doing it here keeps that time out of the
# first test. The server then ends with its background services, so that no
# service started here outlives this step holding a test's output open.
[ -f "$WINEPREFIX/system.reg" ] || echo "creating the wine prefix $WINEPREFIX"
mkdir -p "$WINEPREFIX"
WINEDLLOVERRIDES="winedbg.exe=d" wineboot --init >/dev/null 2>&1 || true
"$server" -w || true

export WINEDLLOVERRIDES="$tests_without_services"

# Under qemu, wine's server reads and writes its clients' memory at the wrong
# host addresses, so no process can read itself through it (and dbghelp
# cannot write a dump); the preloaded library corrects that and does nothing
# where no emulation happens. The check proves it before the tests rely on it.
preload="$(bash tools/wine/build-qemu-guest-memory.sh build/qemu-guest-memory)"
export LD_PRELOAD="$preload${LD_PRELOAD:+:$LD_PRELOAD}"
"$server" -k 2>/dev/null || true
bash tools/wine/check-qemu-guest-memory.sh build/qemu-guest-memory

cmake --workflow --preset windows
