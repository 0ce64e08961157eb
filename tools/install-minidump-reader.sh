#!/usr/bin/env bash
# Installs an independent minidump reader, the npm package minidump 0.26.0
# with its prebuilt Linux x64 programs, into build/minidump-reader, and
# prints the path of its minidump_stackwalk on standard output (everything
# else goes to standard error). The native tests check every dump they write
# with it when SKELVIN_MINIDUMP_STACKWALK holds that path:
#
#   export SKELVIN_MINIDUMP_STACKWALK="$(bash tools/install-minidump-reader.sh)"
#   ctest --preset dev
#
# Only the package's readers are used; its install scripts are not run.
# Safe to run again: an installed reader of the right version is kept.
set -euo pipefail
cd "$(dirname "$0")/.."

version=0.26.0
folder="$PWD/build/minidump-reader"
package="$folder/node_modules/minidump"
reader="$package/bin/linux-x64/minidump_stackwalk"

if [ "$(uname -s)-$(uname -m)" != "Linux-x86_64" ]; then
    echo "install-minidump-reader: the package's readers run on Linux x86-64 only" >&2
    exit 1
fi

installed_version() {
    [ -f "$package/package.json" ] || return 0
    sed -n 's/^ *"version": *"\([^"]*\)".*/\1/p' "$package/package.json" | head -n 1
}

if [ ! -x "$reader" ] || [ "$(installed_version)" != "$version" ]; then
    if ! command -v npm >/dev/null; then
        echo "install-minidump-reader: npm is missing; installing Debian's" >&2
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq >&2
        apt-get install -y -qq --no-install-recommends npm >&2
    fi
    mkdir -p "$folder"
    npm install --prefix "$folder" --ignore-scripts --no-audit --no-fund --no-save \
        "minidump@$version" >&2
fi

if [ ! -x "$reader" ]; then
    echo "install-minidump-reader: $reader is missing after the install" >&2
    exit 1
fi
echo "$reader"
