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

cases="$1"
program="$2"
shift 2
runner=("$@")
# The program runs inside each case's folder, so a relative path to it must be
# made absolute first.
case "$program" in
    /*) ;;
    */*) program="$PWD/$program" ;;
esac

case "$program" in
    *.exe) platform=windows ;;
    *) platform=posix ;;
esac

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A failing case writes a crash dump; the Linux program keeps its settings
# and dumps in the temporary folder rather than in the user's own folders.
if [ "$platform" = posix ]; then
    export SKELVIN_REGISTRY_DIR="$work/registry" XDG_DATA_HOME="$work/data"
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

passed=0
failed=0
for name in "${names[@]}"; do
    expected="$cases/$name.expected-$platform"
    [ -f "$expected" ] || expected="$cases/$name.expected"
    if [ ! -f "$expected" ]; then
        failed=$((failed + 1))
        echo "[FAILED] $name: no expected output for $platform"
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
        passed=$((passed + 1))
        echo "[  OK  ] $name"
    else
        failed=$((failed + 1))
        echo "[FAILED] $name: ${problems[*]}"
        diff <(cat -A "$folder/expected") <(cat -A "$folder/stdout") | head -20
        head -c 2000 "$folder/stderr"
    fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
