#!/usr/bin/env bash
# Crash dumps of the built program: with settings imported as an
# administrator would import them, the program runs on relay lists that fail
# (and one that does not), and the dump files, the dump counter and the
# program's output are compared with what the settings ask for.
#
#   crash_dumps.sh CASES_DIR PROGRAM [RUNNER...]
#
# The Linux program keeps its registry and its dumps in a temporary folder
# (SKELVIN_REGISTRY_DIR, XDG_DATA_HOME); the Windows program runs under the
# RUNNER (wine) with that prefix's registry, whose Software\Quorvane keys
# this script owns. When SKELVIN_MINIDUMP_STACKWALK names a
# minidump_stackwalk, every dump must pass it: the crash reason, the thread
# and the modules shown, no ERROR line on its standard error.
set -u
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

read_arguments "$@"
stem=Skelvin
executable="$stem"
[ "$platform" = windows ] && executable="$stem.exe"
reader="${SKELVIN_MINIDUMP_STACKWALK:-}"

make_work
mkdir -p "$work/run"
cp "$cases/query.dat" "$work/run/failing.dat"
cp "$cases/example.dat" "$work/run/good.dat"
failure_line="No diagnostic message available"

if [ "$platform" = posix ]; then
    keep_settings_in_work
    dumps="$XDG_DATA_HOME/Quorvane"
    reset() {
        rm -rf "$SKELVIN_REGISTRY_DIR" "$XDG_DATA_HOME"
        mkdir -p "$SKELVIN_REGISTRY_DIR"
    }
    # import HIVE FILE: the stand-in reads the administrator's file as it is.
    import() { cp "$2" "$SKELVIN_REGISTRY_DIR/$1.reg"; }
    counter() {
        local hive="$SKELVIN_REGISTRY_DIR/HKEY_CURRENT_USER.reg" value
        value="$(sed -n "s/^\"$executable\"=dword:\([0-9a-fA-F]*\).*/\1/p" "$hive" 2>/dev/null)"
        if [ -n "$value" ]; then echo $((16#$value)); else echo none; fi
    }
else
    wine_quiet() { "${runner[@]}" "$@" >/dev/null 2>&1; }
    appdata="$("${runner[@]}" cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')"
    appdata="$("${runner[@]}" winepath -u "$appdata" 2>/dev/null)"
    dumps="${appdata%/}/Quorvane"
    reset() {
        wine_quiet reg delete 'HKLM\Software\Quorvane' /f
        wine_quiet reg delete 'HKCU\Software\Quorvane' /f
        rm -rf "$dumps"
    }
    import() { wine_quiet reg import "$("${runner[@]}" winepath -w "$2" 2>/dev/null)"; }
    counter() {
        local value
        value="$("${runner[@]}" reg query 'HKCU\Software\Quorvane\Minidumps' /v "$executable" 2>/dev/null |
            sed -n 's/.*REG_DWORD[[:space:]]*0x\([0-9a-fA-F]*\).*/\1/p')"
        if [ -n "$value" ]; then echo $((16#$value)); else echo none; fi
    }
fi

# settings FILE HIVE LINES...: a settings file as regedit writes it.
settings() {
    local file="$1" hive="$2"
    shift 2
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[%s\\Software\\Quorvane]\r\n' "$hive"
        for line in "$@"; do printf '%s\r\n' "$line"; done
    } >"$file"
}

# counter_settings NUMBER: a stored dump counter for the program.
counter_settings() {
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Quorvane\\Minidumps]\r\n'
        printf '"%s"=dword:%08x\r\n' "$executable" "$1"
    } >"$work/counter.reg"
    import HKEY_CURRENT_USER "$work/counter.reg"
}

# run LIST: the program on a relay list; its last line must be the failure
# line (or, for the good list, a weight line), its exit code 0.
run() {
    local list="$1"
    (cd "$work/run" && "${runner[@]}" "$program" "$list" >stdout 2>stderr </dev/null)
    local status=$?
    local last
    last="$(tail -n 2 "$work/run/stdout" | tr -d '\r' | grep -v '^$' | tail -n 1)"
    [ "$status" -eq 0 ] || problems+=("exit code $status on $list")
    case "$list" in
        good.dat) [[ "$last" == Weight:* ]] || problems+=("unexpected last line \"$last\" on $list") ;;
        missing.dat) [[ "$last" == File\ error* ]] || problems+=("unexpected last line \"$last\" on $list") ;;
        *) [ "$last" = "$failure_line" ] || problems+=("unexpected last line \"$last\" on $list") ;;
    esac
}

dump_files() {
    if [ -d "$dumps" ]; then
        (cd "$dumps" && find . -maxdepth 1 -type f -printf '%f\n' | sort | tr '\n' ' ')
    fi
}

check_dumps_with_reader() {
    [ -n "$reader" ] || return 0
    local dump
    for dump in "$dumps"/*.dmp; do
        [ -f "$dump" ] || continue
        "$reader" -m "$dump" >"$work/reader.out" 2>"$work/reader.err"
        # The reader names code 0xE06D7363 by its number in a Linux dump and
        # by its meaning in a Windows one.
        grep -Eq '^Crash\|(0xe06d7363( / 0x[0-9a-f]+)?|Unhandled C\+\+ Exception)\|' "$work/reader.out" ||
            problems+=("$(basename "$dump"): the reader shows no thrown-object crash")
        grep -q "^Module|$executable|" "$work/reader.out" ||
            problems+=("$(basename "$dump"): the reader shows no module of the program")
        grep -q "^0|0|$executable|" "$work/reader.out" ||
            problems+=("$(basename "$dump"): the crashing thread's innermost frame is not in the program")
        if grep -q ERROR "$work/reader.err"; then
            problems+=("$(basename "$dump"): the reader reports an error")
            grep ERROR "$work/reader.err" | head -5
        fi
    done
}

# finish NAME EXPECTED_FILES EXPECTED_COUNTER
finish() {
    local files
    files="$(dump_files)"
    [ "$files" = "$2" ] || problems+=("dump files \"$files\", expected \"$2\"")
    local stored
    stored="$(counter)"
    [ "$stored" = "$3" ] || problems+=("counter $stored, expected $3")
    local dump
    for dump in "$dumps"/*.dmp; do
        [ -f "$dump" ] || continue
        [ "$(head -c 4 "$dump")" = MDMP ] || problems+=("$(basename "$dump") is not a minidump")
    done
    check_dumps_with_reader
    report "$1"
}

begin() {
    problems=()
    reset
}

begin
run failing.dat
finish first_dump_without_settings "${stem}_0.dmp " 1

begin
for _ in 1 2 3 4 5 6; do run failing.dat; done
finish sixth_dump_replaces_the_first "${stem}_0.dmp ${stem}_1.dmp ${stem}_2.dmp ${stem}_3.dmp ${stem}_4.dmp " 1

begin
run good.dat
finish report_without_failure_leaves_no_dump "" none

begin
run missing.dat
finish file_error_is_dumped "${stem}_0.dmp " 1

begin
settings "$work/machine.reg" HKEY_LOCAL_MACHINE '"WriteMiniDumps"=dword:00000000'
import HKEY_LOCAL_MACHINE "$work/machine.reg"
run failing.dat
[ -e "$dumps" ] && problems+=("the dump folder was created")
finish dumps_turned_off "" none

begin
settings "$work/machine.reg" HKEY_LOCAL_MACHINE '"MaxDumpFiles"=dword:00000001'
import HKEY_LOCAL_MACHINE "$work/machine.reg"
run failing.dat
run failing.dat
finish single_dump_file "$stem.dmp " none

begin
settings "$work/machine.reg" HKEY_LOCAL_MACHINE '"MaxDumpFiles"=dword:00000000'
import HKEY_LOCAL_MACHINE "$work/machine.reg"
counter_settings 7
run failing.dat
finish no_limit_does_not_wrap "${stem}_7.dmp " 8

begin
settings "$work/machine.reg" HKEY_LOCAL_MACHINE '"MaxDumpFiles"=dword:00000003'
import HKEY_LOCAL_MACHINE "$work/machine.reg"
counter_settings 4
run failing.dat
finish lowered_limit_uses_the_stored_number "${stem}_4.dmp " 2

begin
mkdir -p "$dumps/${stem}_0.dmp"
run failing.dat
finish dump_file_that_cannot_be_created "" 1

if [ "$platform" = posix ]; then
    begin
    printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Quorvane\n' \
        >"$SKELVIN_REGISTRY_DIR/HKEY_CURRENT_USER.reg"
    cp "$SKELVIN_REGISTRY_DIR/HKEY_CURRENT_USER.reg" "$work/damaged.reg"
    run failing.dat
    run failing.dat
    cmp -s "$work/damaged.reg" "$SKELVIN_REGISTRY_DIR/HKEY_CURRENT_USER.reg" ||
        problems+=("the damaged settings file was changed")
    finish damaged_user_settings_give_number_zero "${stem}_0.dmp " none
fi

verdict
