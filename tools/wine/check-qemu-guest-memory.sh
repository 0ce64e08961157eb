#!/usr/bin/env bash
# Checks, under wine as the caller has set it up (WINEPREFIX, WINEARCH,
# WINEDLLOVERRIDES, and LD_PRELOAD holding the library that
# build-qemu-guest-memory.sh built; see qemu_guest_memory.c), that one process
# can read and write another's memory and that a minidump can be written:
#
#   LD_PRELOAD="$(bash tools/wine/build-qemu-guest-memory.sh <dir>)" \
#       bash tools/wine/check-qemu-guest-memory.sh <work dir>
#
# With SKELVIN_MINIDUMP_STACKWALK set, the dump must also read back with its
# thread, modules and exception, and without an error. Prints the probe's
# failures and exits with 1 when there is one.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 <work dir>" >&2
    exit 2
fi
source_dir="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$1"
work="$(cd "$1" && pwd)"

case "${LD_PRELOAD:-}" in
    *libqemu-guest-memory.so*) ;;
    *)
        echo "LD_PRELOAD does not name the library of build-qemu-guest-memory.sh" >&2
        exit 2
        ;;
esac
i686-w64-mingw32-g++-posix -std=c++20 -O1 -fno-omit-frame-pointer -Wall -Wextra -Werror -static \
    -o "$work/guest_memory_probe.exe" "$source_dir/guest_memory_probe.cpp" -ldbghelp

cd "$work"
rm -f guest_memory_probe.dmp
status=0
wine guest_memory_probe.exe || status=1

if [ -n "${SKELVIN_MINIDUMP_STACKWALK:-}" ] && [ -s guest_memory_probe.dmp ]; then
    "$SKELVIN_MINIDUMP_STACKWALK" -m guest_memory_probe.dmp >stackwalk.out 2>stackwalk.err || {
        echo "FAIL minidump: the reader exits with $?"
        status=1
    }
    if grep -q 'ERROR' stackwalk.err; then
        echo "FAIL minidump: the reader reports errors:"
        grep 'ERROR' stackwalk.err
        status=1
    fi
    for line in '^Crash|EXCEPTION_BREAKPOINT|' '^Module|guest_memory_probe.exe|' '^0|0|guest_memory_probe.exe|'; do
        grep -q "$line" stackwalk.out || {
            echo "FAIL minidump: no line matching $line"
            status=1
        }
    done
fi
exit "$status"
