# shellcheck shell=bash
# What the end-to-end scripts share, sourced after their `set -u`: the
# program and its platform, a temporary folder, and the counted verdicts.

# read_arguments CASES_DIR PROGRAM [RUNNER...]: sets cases, program, platform
# (windows for a .exe, posix otherwise) and runner (put in front of the
# program: wine).
# shellcheck disable=SC2034 # set for the script that sources this file
read_arguments() {
    cases="$1"
    program="$2"
    shift 2
    runner=("$@")
    # The program runs inside folders of its own, so a relative path to it
    # must be made absolute first.
    case "$program" in
        /*) ;;
        */*) program="$PWD/$program" ;;
    esac
    case "$program" in
        *.exe) platform=windows ;;
        *) platform=posix ;;
    esac
}

# make_work: $work, a temporary folder removed on exit.
make_work() {
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
}

# keep_settings_in_work: the Linux program keeps its registry and crash dumps
# in $work rather than in the user's own folders.
keep_settings_in_work() {
    export SKELVIN_REGISTRY_DIR="$work/registry" XDG_DATA_HOME="$work/data"
}

# The cases counted so far.
passed=0
failed=0

# pass NAME, fail TEXT: one verdict line, counted.
pass() {
    passed=$((passed + 1))
    echo "[  OK  ] $1"
}
fail() {
    failed=$((failed + 1))
    echo "[FAILED] $1"
}

# report NAME: the verdict on the script's array `problems`, then each
# problem on a line of its own.
report() {
    # shellcheck disable=SC2154 # filled by the script's own checks
    if [ "${#problems[@]}" -eq 0 ]; then
        pass "$1"
    else
        fail "$1"
        printf '         %s\n' "${problems[@]}"
    fi
}

# verdict: the counts; succeeds when nothing failed and something passed, so
# that a run that found no cases is not taken for a success.
verdict() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
}
