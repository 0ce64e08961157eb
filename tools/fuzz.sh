#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan, UBSan) and runs each one
# over a copy of its seed corpus, with fuzz/<corpus>.dict as its dictionary
# when there is one.
#   tools/fuzz.sh            short run: 200000 executions per target
#   tools/fuzz.sh 50000000   long run
# Inputs that crash are left in build/fuzz/ as crash-* files.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-200000}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for seeds in fuzz/corpus/*/; do
    target="$(basename "$seeds")_fuzzer"
    work="build/fuzz/corpus-work/$(basename "$seeds")"
    mkdir -p "$work"
    cp -n "$seeds"* "$work"/ 2>/dev/null || true
    options=(-runs="$runs" -print_final_stats=1)
    dictionary="fuzz/$(basename "$seeds").dict"
    if [ -f "$dictionary" ]; then
        options+=(-dict="../../$dictionary")
    fi
    echo "== $target: $runs executions"
    (cd build/fuzz && "./fuzz/$target" "${options[@]}" "corpus-work/$(basename "$seeds")" "../../$seeds")
done
