#!/usr/bin/env bash
# Installs everything the builds and tests need on a Debian 12 machine.
# Run as root (or through sudo). Safe to run again: it only adds what is
# missing.
#
#   install-dependencies.sh            everything: native, Windows, wine
#   install-dependencies.sh --native   only what the native build and tests need
set -euo pipefail

native_only=false
[ "${1:-}" = "--native" ] && native_only=true

export DEBIAN_FRONTEND=noninteractive

native_packages=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format
                 libgtest-dev libgmock-dev googletest libbenchmark-dev python3 python3-dnspython
                 valgrind time hyperfine)
windows_packages=(g++-mingw-w64-i686-posix wine)

if $native_only; then
    windows_packages=()
fi

need=()
for package in "${native_packages[@]}" "${windows_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        need+=("$package")
done
# The preloader reserves wine's fixed address ranges before anything else can
# take them; without it wine's 32-bit loader fails under emulation (below).
$native_only || for package in wine32:i386 wine32-preloader:i386; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        need+=("$package")
done

if [ "${#need[@]}" -gt 0 ]; then
    if ! $native_only && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Wine runs 32-bit Windows programs through its 32-bit Linux loader. Some
# kernels (virtual machines built without 32-bit support among them) cannot
# execute 32-bit programs at all; there the loader runs under qemu's user-mode
# emulator, registered with the kernel for 32-bit x86 programs.
if ! $native_only && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q 'install ok installed' ||
        { apt-get update -qq; apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null; }
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
    if [ ! -e "$binfmt/skelvin-i386" ]; then
        printf '%s' ':skelvin-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            >"$binfmt/register"
    fi
    /usr/lib/wine/wine --version >/dev/null
fi
echo "dependencies: ready"
