#!/usr/bin/env bash
# End-to-end tests: runs the built program on files in a temporary folder and
# compares its whole standard output byte for byte, its exit code (always 0)
# and its standard error (always empty).
#
#   run_e2e.sh CASES_DIR PROGRAM [RUNNER...]
#
# CASES_DIR holds, for each case NAME:
#   NAME.args      the program's arguments, one per line (absent: one argument,
#                  the relay list "Relays.dat"); "@none" alone means none
#   NAME.dat       the relay list, copied into the folder as Relays.dat
#                  (absent: no file is made)
#   NAME.expected  the exact standard output, with line feeds; on Windows
#                  every line feed is expected as CR LF
#   NAME.expected-windows / NAME.expected-posix
#                  used instead of NAME.expected where the two builds differ
#                  (texts that come from the operating system)
# A RUNNER (wine) is put in front of the program when given.
set -u
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

read_arguments "$@"
make_work
# A failing case writes a crash dump.
if [ "$platform" = posix ]; then
    keep_settings_in_work
fi

# A case whose output differs per platform may have no NAME.expected at all,
# so the cases are named by any of their expected files.
names=()
for expected in "$cases"/*.expected "$cases"/*.expected-posix "$cases"/*.expected-windows; do
    [ -f "$expected" ] || continue
    name="$(basename "$expected")"
    names+=("${name%.expected*}")
done
mapfile -t names < <(printf '%s\n' "${names[@]}" | sort -u)

for name in "${names[@]}"; do
    expected="$cases/$name.expected-$platform"
    [ -f "$expected" ] || expected="$cases/$name.expected"
    if [ ! -f "$expected" ]; then
        fail "$name: no expected output for $platform"
        continue
    fi
    folder="$work/$name"
    mkdir -p "$folder"
    [ -f "$cases/$name.dat" ] && cp "$cases/$name.dat" "$folder/Relays.dat"

    arguments=(Relays.dat)
    if [ -f "$cases/$name.args" ]; then
        mapfile -t arguments <"$cases/$name.args"
        [ "${arguments[*]}" = "@none" ] && arguments=()
    fi

    if [ "$platform" = windows ]; then
        sed 's/$/\r/' "$expected" >"$folder/expected"
    else
        cp "$expected" "$folder/expected"
    fi

    (cd "$folder" && "${runner[@]}" "$program" "${arguments[@]}" >stdout 2>stderr </dev/null)
    status=$?

    problems=()
    [ "$status" -eq 0 ] || problems+=("exit code $status")
    cmp -s "$folder/expected" "$folder/stdout" || problems+=("standard output differs")
    [ -s "$folder/stderr" ] && problems+=("standard error is not empty")
    if [ "${#problems[@]}" -eq 0 ]; then
        pass "$name"
    else
        fail "$name: ${problems[*]}"
        diff <(cat -A "$folder/expected") <(cat -A "$folder/stdout") | head -20
        head -c 2000 "$folder/stderr"
    fi
done

verdict
