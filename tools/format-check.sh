#!/usr/bin/env bash
# Fails when any C++ source differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.hpp' |
    xargs -0 --no-run-if-empty clang-format --dry-run --Werror
echo "format: clean"
