#!/usr/bin/env bash
# Builds the bench preset and measures the tool against its floors:
#
#   (a) the report of the maximal relay list, standard output to a file,
#       against report_floor writing the same report line by line;
#   (b) the bulk relay list, which prints nothing, against cat reading it;
#
# then the peak memory of each, and the decoder and report micro-benchmarks.
# Ends with a table of every figure and its ratio against its goal.
#
#   run_benchmarks.sh [--quick] [--check]
#
#   --quick   few runs of everything, for a smoke test
#   --check   exit 1 when a goal is missed
#
# Exit status 0 once everything was measured, whatever the ratios (they depend
# on the machine); 1 with --check and a missed goal; 2 when something could not
# be built, run or measured.
set -euo pipefail

usage() {
    printf 'usage: bash bench/run_benchmarks.sh [--quick] [--check]\n' >&2
    exit 2
}

quick=false
check=false
for argument in "$@"; do
    case "$argument" in
        --quick) quick=true ;;
        --check) check=true ;;
        *) usage ;;
    esac
done

fail() {
    printf '\nrun_benchmarks: %s\n' "$*" >&2
    exit 2
}

step() { printf '\n==== %s\n' "$*"; }

# Goals: the ratio each figure must stay at or below.
readonly report_goal=1.15
readonly ingest_goal=3
readonly memory_goal=2.2

if $quick; then
    report_rounds=2
    ingest_rounds=2 ingest_runs=1
    memory_runs=1
    benchmark_options=(--benchmark_min_time=0.01)
else
    report_rounds=10
    ingest_rounds=10 ingest_runs=3
    memory_runs=3
    benchmark_options=()
fi

for program in hyperfine /usr/bin/time /usr/bin/python3 cmake cmp; do
    command -v "$program" >/dev/null ||
        fail "$program is missing; run bash tools/install-dependencies.sh --native"
done

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$repo/build/bench"
lists="$build/bench/lists"
tool="$build/app/Skelvin"
floor="$build/bench/report_floor"
maximal="$lists/maximal.dat"
maximal_report="$lists/maximal.expected"
bulk="$lists/bulk.dat"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# A word for hyperfine's own command splitting (-N runs no shell), so that
# paths with spaces or quotes stay whole.
quote() {
    local squote="'"
    printf "'%s'" "${1//$squote/$squote\\$squote$squote}"
}

step "building the bench preset (relay lists included)"
if ! (cd "$repo" && cmake --workflow --preset bench) >"$scratch/build.log" 2>&1; then
    cat "$scratch/build.log" >&2
    fail "the bench build failed (its log is above)"
fi
for file in "$tool" "$floor" "$build/bench/decoder_benchmark" "$build/bench/report_benchmark" \
    "$maximal" "$maximal_report" "$bulk"; do
    [ -e "$file" ] || fail "the bench build did not produce $file"
done
echo "built in $build"

step "checking that both sides do the same work"
"$tool" "$maximal" >"$scratch/tool.out" || fail "the tool failed on maximal.dat"
cmp "$scratch/tool.out" "$maximal_report" >&2 ||
    fail "the tool's report on maximal.dat is not maximal.expected"
"$floor" "$maximal_report" >"$scratch/floor.out" || fail "report_floor failed on maximal.expected"
cmp "$scratch/floor.out" "$maximal_report" >&2 ||
    fail "report_floor's output is not maximal.expected"
"$tool" "$bulk" >"$scratch/bulk.out" || fail "the tool failed on bulk.dat"
if [ -s "$scratch/bulk.out" ]; then
    head -c 300 "$scratch/bulk.out" >&2
    fail "the tool printed $(wc -c <"$scratch/bulk.out") bytes on bulk.dat instead of nothing"
fi
rm -f "$scratch/tool.out" "$scratch/floor.out" "$scratch/bulk.out"
report_lines="$(wc -l <"$maximal_report")"
report_bytes="$(wc -c <"$maximal_report")"
bulk_bytes="$(wc -c <"$bulk")"
echo "the tool and report_floor both print maximal.expected ($report_lines lines," \
    "$report_bytes bytes); the tool prints nothing on bulk.dat ($bulk_bytes bytes)"

# compare NAME ROUNDS RUNS OUTPUT LABEL1 COMMAND1 LABEL2 COMMAND2: hyperfine
# on the two commands in ROUNDS rounds of RUNS runs each, so that the two take
# turns and a change in the machine's load during the measurement falls on
# both alike rather than on whichever ran last. One untimed run of each comes
# first. Each round's figures go to $scratch/NAME-ROUND.json.
compare() {
    local name="$1" rounds="$2" runs="$3" output="$4" round
    shift 4
    hyperfine -N --style none --runs 1 --output "$output" -n "$1" "$2" -n "$3" "$4" >/dev/null ||
        fail "hyperfine could not run $2 and $4"
    for ((round = 1; round <= rounds; round++)); do
        hyperfine -N --style none --runs "$runs" --output "$output" \
            --export-json "$scratch/$name-$round.json" -n "$1" "$2" -n "$3" "$4" >/dev/null ||
            fail "hyperfine could not run $2 and $4"
        /usr/bin/python3 - "$round" "$rounds" "$scratch/$name-$round.json" <<'PYTHON'
import json
import sys

round_number, rounds, path = sys.argv[1:]
with open(path) as source:
    results = json.load(source)["results"]
means = ", ".join(f"{result['command']} {result['mean']:.3f} s" for result in results)
print(f"round {round_number}/{rounds}: {means}")
PYTHON
    done
}

step "(a) the report of maximal.dat to a file, against report_floor" \
    "($report_rounds rounds of 1 run each)"
compare report "$report_rounds" 1 "$scratch/report.out" \
    tool "$(quote "$tool") $(quote "$maximal")" \
    floor "$(quote "$floor") $(quote "$maximal_report")"
rm -f "$scratch/report.out"

step "(b) bulk.dat, output discarded, against cat" \
    "($ingest_rounds rounds of $ingest_runs run(s) each)"
compare ingest "$ingest_rounds" "$ingest_runs" null \
    tool "$(quote "$tool") $(quote "$bulk")" \
    cat "cat $(quote "$bulk")"

# The largest peak resident set size, in KiB, of $memory_runs runs of the
# command, standard output to a file that is then dropped.
peak_memory() {
    local largest=0 run peak
    for ((run = 0; run < memory_runs; run++)); do
        /usr/bin/time -f %M -o "$scratch/peak" "$@" >"$scratch/memory.out" ||
            fail "$* failed while its memory was measured"
        peak="$(tail -n 1 "$scratch/peak")"
        [[ "$peak" =~ ^[0-9]+$ ]] || fail "no peak memory figure from /usr/bin/time for $*"
        if ((peak > largest)); then
            largest=$peak
        fi
    done
    rm -f "$scratch/memory.out"
    echo "$largest"
}

step "peak memory (the largest of $memory_runs run(s) each)"
report_peak="$(peak_memory "$tool" "$maximal")"
echo "tool on maximal.dat:            $report_peak KiB"
floor_peak="$(peak_memory "$floor" "$maximal_report")"
echo "report_floor on maximal.expected: $floor_peak KiB"
ingest_peak="$(peak_memory "$tool" "$bulk")"
echo "tool on bulk.dat:               $ingest_peak KiB"
cat_peak="$(peak_memory cat "$bulk")"
echo "cat on bulk.dat:                $cat_peak KiB"

step "decoder micro-benchmarks"
"$build/bench/decoder_benchmark" "${benchmark_options[@]}"

step "the report in-process"
"$build/bench/report_benchmark" "${benchmark_options[@]}"

step "summary"
summary_status=0
/usr/bin/python3 - "$scratch" "$report_peak" "$floor_peak" "$ingest_peak" "$cat_peak" \
    "$bulk_bytes" "$report_goal" "$ingest_goal" "$memory_goal" <<'PYTHON' || summary_status=$?
import glob
import json
import statistics
import sys

(scratch, report_peak, floor_peak, ingest_peak, cat_peak, bulk_bytes, report_goal, ingest_goal,
 memory_goal) = sys.argv[1:]


def timings(name):
    """Every run's time of each command, over all rounds of the comparison."""
    times = {}
    for path in sorted(glob.glob(f"{scratch}/{name}-*.json")):
        with open(path) as source:
            for result in json.load(source)["results"]:
                times.setdefault(result["command"], []).extend(result["times"])
    return {command: {"mean": statistics.mean(runs),
                      "stddev": statistics.stdev(runs) if len(runs) > 1 else 0.0,
                      "min": min(runs), "runs": len(runs)}
            for command, runs in times.items()}


def seconds(result):
    return f"{result['mean']:.3f} s ± {result['stddev']:.3f} ({result['runs']} runs)"


def mebibytes(kibibytes):
    return f"{int(kibibytes) / 1024:.1f} MiB"


report = timings("report")
ingest = timings("ingest")
print(f"{'figure':<40} {'measured':>30}")
for label, value in [
        ("(a) tool on maximal.dat, mean", seconds(report["tool"])),
        ("(a) report_floor on maximal.expected", seconds(report["floor"])),
        ("(b) tool on bulk.dat, mean", seconds(ingest["tool"])),
        ("(b) cat bulk.dat", seconds(ingest["cat"])),
        ("peak memory, tool on maximal.dat", mebibytes(report_peak)),
        ("peak memory, report_floor", mebibytes(floor_peak)),
        ("peak memory, tool on bulk.dat", mebibytes(ingest_peak)),
        ("peak memory, cat bulk.dat", mebibytes(cat_peak)),
        ("bulk.dat size", f"{int(bulk_bytes) / 1024 / 1024:.1f} MiB"),
]:
    print(f"{label:<40} {value:>30}")

# The verdict is on the means. The ratio of the fastest runs is shown beside
# it: on a shared machine it is the one least moved by what else is running.
goals = [
    ("report of (a) / floor", report["tool"]["mean"] / report["floor"]["mean"],
     report["tool"]["min"] / report["floor"]["min"], float(report_goal)),
    ("ingest of (b) / cat", ingest["tool"]["mean"] / ingest["cat"]["mean"],
     ingest["tool"]["min"] / ingest["cat"]["min"], float(ingest_goal)),
    ("peak memory on (b) / file size", int(ingest_peak) * 1024 / int(bulk_bytes), None,
     float(memory_goal)),
]
print()
print(f"{'goal':<40} {'ratio':>8} {'fastest':>8} {'goal':>8}  verdict")
missed = 0
for label, ratio, fastest, goal in goals:
    met = ratio <= goal
    missed += not met
    fastest_text = "" if fastest is None else f"{fastest:.2f}"
    print(f"{label:<40} {ratio:>8.2f} {fastest_text:>8} {'≤ ' + format(goal, 'g'):>8}  "
          f"{'met' if met else 'MISSED'}")
sys.exit(1 if missed else 0)
PYTHON
case "$summary_status" in
    0) echo "every goal met" ;;
    1)
        echo "goals missed (the ratios depend on the machine)"
        $check && exit 1
        ;;
    *) fail "the summary could not be made" ;;
esac
exit 0
