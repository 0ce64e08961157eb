#!/usr/bin/env bash
# What the program holds while it runs and leaves behind: under valgrind's
# memcheck, on the example and on every relay list of the end-to-end cases
# (damaged ones among them, each failure writing its crash dump), no memory
# error, no leak and no descriptor left open; and on the largest relay lists,
# a peak memory of about twice the file's size.
#
#   resources.sh CASES_DIR PROGRAM BENCH_DIR
#
# BENCH_DIR holds make_bench_lists.py, which writes the large lists.
set -u
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# Each run happens in a folder of its own, so every path is made absolute.
cases="$(realpath "$1")"
program="$(realpath "$2")"
bench="$(realpath "$3")"
python=/usr/bin/python3

make_work
keep_settings_in_work

# memcheck NAME ARGUMENT: the program under valgrind, in a folder of its own.
memcheck() {
    problems=()
    local folder="$work/memcheck/$1"
    mkdir -p "$folder"
    (cd "$folder" && valgrind --error-exitcode=99 --leak-check=full --show-leak-kinds=all \
        --errors-for-leak-kinds=definite,indirect,possible --track-fds=yes --num-callers=40 --log-file=valgrind.log \
        "$program" "$2" >stdout 2>stderr </dev/null)
    local status=$?
    [ "$status" -eq 0 ] || problems+=("exit code $status (99: valgrind found errors or leaks)")
    [ -s "$folder/stderr" ] && problems+=("standard error is not empty")
    # Memory still reachable at exit is only the class-name texts of the
    # exception family, kept on purpose for the life of the process so that
    # what() stays valid even while static objects are destroyed.
    if awk '/still reachable in loss record/ { record = 1; known = 0; next }
            record && /ClassNameText/ { known = 1 }
            record && /^==[0-9]+== $/ { if (!known) unknown = 1; record = 0 }
            END { exit unknown ? 0 : 1 }' "$folder/valgrind.log"; then
        problems+=("memory other than the class-name texts is still allocated at exit")
    fi
    # Every descriptor open at exit other than the standard three must have
    # come from the caller; one the program opened is listed with the call
    # that opened it instead.
    if awk '/Open (file descriptor|AF_UNIX socket) [0-9]+/ { open = 1; next }
            open && /inherited from parent/ { open = 0; next }
            open && /==[0-9]+== +(at|by) / { leaked = 1 }
            END { exit leaked ? 0 : 1 }' "$folder/valgrind.log"; then
        problems+=("a descriptor the program opened is still open at exit")
    fi
    if [ "${#problems[@]}" -ne 0 ]; then
        grep -E 'Invalid|uninitialised|definitely|indirectly|possibly|still reachable|Open file' \
            "$folder/valgrind.log" | head -10
    fi
    report "memcheck $1"
}

memcheck example "$(cd "$(dirname "$0")/../.." && pwd)/examples/Relays.dat"
for list in "$cases"/*.dat; do
    memcheck "$(basename "$list" .dat)" "$list"
done
memcheck missing_file "$work/no such file.dat"
memcheck folder_as_file "$work"

# peak NAME LIST: the program's peak resident memory, in KiB, on LIST.
peak() {
    /usr/bin/time -f '%M' -o "$work/peak" "$program" "$2" >/dev/null 2>"$work/stderr"
    cat "$work/peak"
}

# Memory the program needs whatever the list: the run time, the libraries.
baseline="$(peak baseline "$cases/example.dat")"
for kind in maximal bulk; do
    problems=()
    "$python" "$bench/make_bench_lists.py" "$kind" "$work/$kind.dat"
    size_kib=$(($(stat -c %s "$work/$kind.dat") / 1024))
    used="$(peak "$kind" "$work/$kind.dat")"
    [ -s "$work/stderr" ] && problems+=("standard error is not empty")
    # About twice the file: the file's bytes, held once, and room for
    # growing the buffer that holds them.
    limit=$((2 * size_kib + baseline))
    [ "$used" -le "$limit" ] || problems+=("peak memory ${used} KiB, more than ${limit} KiB")
    echo "         $kind: ${size_kib} KiB file, ${used} KiB peak (baseline ${baseline} KiB)"
    rm -f "$work/$kind.dat"
    report "memory $kind"
done

verdict
