#!/usr/bin/env bash
# Builds the library described in qemu_guest_memory.c into <dir> and prints
# the value to put in LD_PRELOAD for wine:
#
#   LD_PRELOAD="$(bash tools/wine/build-qemu-guest-memory.sh build/qemu-guest-memory)"
#
# <dir>/lib/x86_64-linux-gnu/ gets the library proper, for wine's native
# 64-bit server; <dir>/lib/i386-linux-gnu/ gets an empty library of the same
# name, so that the emulated 32-bit programs the variable passes through load
# something of their own class instead of printing an error. The printed path
# keeps the dynamic loader's $LIB token, which each loader replaces with its
# own directory. Needs only gcc: the empty library uses no C library, so no
# 32-bit development files are required.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 <output directory>" >&2
    exit 2
fi
source_dir="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$1"
out="$(cd "$1" && pwd)"
name=libqemu-guest-memory.so

mkdir -p "$out/lib/x86_64-linux-gnu" "$out/lib/i386-linux-gnu"
gcc -O2 -Wall -Wextra -Werror -shared -fPIC \
    -o "$out/lib/x86_64-linux-gnu/$name" "$source_dir/qemu_guest_memory.c" -ldl
echo 'int qemu_guest_memory_unused;' |
    gcc -m32 -nostdlib -shared -fPIC -x c -o "$out/lib/i386-linux-gnu/$name" -

# Check that each loader takes its own copy, quietly, before anyone relies on it.
preload="$out/\$LIB/$name"
if [ -n "$(LD_PRELOAD="$preload" /bin/true 2>&1)" ]; then
    echo "$0: the 64-bit dynamic loader cannot preload $out/lib/x86_64-linux-gnu/$name" >&2
    exit 1
fi
printf '%s\n' "$preload"
