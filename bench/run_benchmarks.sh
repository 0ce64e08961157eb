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
    report_runs=2 report_warmup=0
    ingest_runs=2 ingest_warmup=1
    memory_runs=1
    benchmark_options=(--benchmark_min_time=0.01)
else
    report_runs=10 report_warmup=1
    ingest_runs=20 ingest_warmup=2
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

step "(a) the report of maximal.dat to a file, against report_floor ($report_runs runs)"
hyperfine -N --runs "$report_runs" --warmup "$report_warmup" --output "$scratch/report.out" \
    --export-json "$scratch/report.json" \
    -n tool "$(quote "$tool") $(quote "$maximal")" \
    -n floor "$(quote "$floor") $(quote "$maximal_report")"
rm -f "$scratch/report.out"

step "(b) bulk.dat, output discarded, against cat ($ingest_runs runs)"
hyperfine -N --runs "$ingest_runs" --warmup "$ingest_warmup" --output null \
    --export-json "$scratch/ingest.json" \
    -n tool "$(quote "$tool") $(quote "$bulk")" \
    -n cat "cat $(quote "$bulk")"

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
/usr/bin/python3 - "$scratch/report.json" "$scratch/ingest.json" "$report_peak" "$floor_peak" \
    "$ingest_peak" "$cat_peak" "$bulk_bytes" "$report_goal" "$ingest_goal" "$memory_goal" \
    <<'PYTHON' || summary_status=$?
import json
import sys

(report_json, ingest_json, report_peak, floor_peak, ingest_peak, cat_peak, bulk_bytes,
 report_goal, ingest_goal, memory_goal) = sys.argv[1:]


def timings(path):
    with open(path) as source:
        return {result["command"]: result for result in json.load(source)["results"]}


def seconds(result):
    return f"{result['mean']:.3f} s ± {result['stddev'] or 0:.3f}"


def mebibytes(kibibytes):
    return f"{int(kibibytes) / 1024:.1f} MiB"


report = timings(report_json)
ingest = timings(ingest_json)
print(f"{'figure':<40} {'measured':>20}")
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
    print(f"{label:<40} {value:>20}")

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
