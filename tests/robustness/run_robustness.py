#!/usr/bin/python3
"""Runs the built program on malformed, cut and mutated relay lists and
compares its whole standard output with what it must print.

    run_robustness.py PROGRAM SUITE [options]

Suites:
  model          the expectations of report_model.py against the end-to-end
                 cases' hand-written expected outputs (the program is not run)
  failures       relay lists broken in one place (cases.failure_classes)
  boundaries     both sides of every limit (cases.boundaries)
  truncations    every proper prefix of the example relay list
  sweep          every byte of the example relay list replaced in turn by
                 each of SWEEP_VALUES

Every run must exit with 0, write nothing to standard error, finish within
the timeout and print exactly the expected text: for the tables their
hand-written outputs, which report_model.py must agree with too; for the
truncations and the sweep, report_model.py's prediction.
"""

import argparse
import concurrent.futures
import os
import pathlib
import subprocess
import sys
import tempfile

import cases
import report_model

HERE = pathlib.Path(__file__).resolve().parent
SOURCE = HERE.parent.parent
EXAMPLE = SOURCE / "examples" / "Relays.dat"
END_TO_END_CASES = SOURCE / "tests" / "e2e" / "cases"

# The edges of every kind of length byte: the root label, the longest label,
# the first and last of the two reserved kinds, a pointer to the start and
# one with every offset bit set.
SWEEP_VALUES = (0x00, 0x3F, 0x40, 0x80, 0xBF, 0xC0, 0xFF)
# Two runs at a time: the machines that run the tests have two cores.
WORKERS = 2
# A broken build must not fill the log with thousands of failures.
MAX_REPORTED_FAILURES = 20

# Dumps are switched off for these runs: most runs fail, and writing a
# minidump for each would take many times longer than the run itself. The
# crash-dump tests cover the dumps.
SETTINGS = (
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Quorvane]\r\n"
    '"WriteMiniDumps"=dword:00000000\r\n'
)


class Runner:
    """Runs the program on relay lists inside one temporary folder."""

    def __init__(self, program, folder, timeout):
        self.program = os.path.abspath(program)
        self.folder = pathlib.Path(folder)
        self.timeout = timeout
        registry = self.folder / "registry"
        registry.mkdir()
        (registry / "HKEY_LOCAL_MACHINE.reg").write_bytes(SETTINGS.encode())
        self.environment = dict(os.environ)
        self.environment["SKELVIN_REGISTRY_DIR"] = str(registry)
        self.environment["XDG_DATA_HOME"] = str(self.folder / "data")

    def problems(self, label, message, expected):
        """Runs the program on `message` in a file named after `label`; returns
        what is wrong with the run, empty when nothing is."""
        path = self.folder / (label + ".dat")
        path.write_bytes(message)
        try:
            run = subprocess.run(
                [self.program, path.name],
                cwd=self.folder,
                env=self.environment,
                stdin=subprocess.DEVNULL,
                capture_output=True,
                timeout=self.timeout,
            )
        except subprocess.TimeoutExpired:
            return ["no end within %g s" % self.timeout]
        finally:
            path.unlink()
        problems = []
        if run.returncode != 0:
            problems.append("exit code %d" % run.returncode)
        if run.stderr:
            problems.append("standard error: " + excerpt(run.stderr))
        if run.stdout != expected:
            problems.append(difference(expected, run.stdout))
        return problems


def excerpt(text, limit=600):
    text = text.decode(errors="backslashreplace")
    return text if len(text) <= limit else text[:limit] + "..."


def difference(expected, actual):
    """The first line where `actual` leaves `expected`, to read in a log."""
    expected_lines = expected.split(b"\n")
    actual_lines = actual.split(b"\n")
    for number, (wanted, got) in enumerate(zip(expected_lines, actual_lines), start=1):
        if wanted != got:
            break
    else:
        number = min(len(expected_lines), len(actual_lines)) + 1

    def line(lines):
        return excerpt(lines[number - 1], 200) if number <= len(lines) else "(no line)"

    return "standard output differs at line %d: expected %r, got %r" % (
        number,
        line(expected_lines),
        line(actual_lines),
    )


def run_all(runner, runs):
    """Runs (label, message, expected) triples, two at a time; prints each
    failure and returns how many runs failed. After MAX_REPORTED_FAILURES
    failures the runs not yet started are dropped."""
    failed = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=WORKERS) as pool:
        futures = {pool.submit(runner.problems, *run): run[0] for run in runs}
        for future in concurrent.futures.as_completed(futures):
            problems = future.result()
            if not problems:
                continue
            failed += 1
            print("[FAILED] %s: %s" % (futures[future], "; ".join(problems)))
            if failed == MAX_REPORTED_FAILURES:
                print("... stopping after %d failures" % failed)
                pool.shutdown(cancel_futures=True)
                break
    return failed


def table_of_cases(runner, table):
    """A table of cases: the model must agree with each hand-written
    expectation, and the program must print it."""
    failed = 0
    for case in table:
        predicted = report_model.expected(case.message)
        if predicted != case.expected:
            failed += 1
            print(
                "[FAILED] %s: the model predicts otherwise: %s"
                % (case.name, difference(case.expected, predicted))
            )
    failed += run_all(runner, [(case.name, case.message, case.expected) for case in table])
    print("%d cases, %d failed" % (len(table), failed))
    return failed


def model(_runner, _options):
    """The model against the end-to-end cases that hold a relay list and the
    output written for it by hand."""
    failed = 0
    checked = 0
    for relay_list in sorted(END_TO_END_CASES.glob("*.dat")):
        expected = relay_list.with_suffix(".expected")
        if relay_list.with_suffix(".args").exists() or not expected.exists():
            continue
        checked += 1
        predicted = report_model.expected(relay_list.read_bytes())
        if predicted != expected.read_bytes():
            failed += 1
            print(
                "[FAILED] %s: %s"
                % (relay_list.stem, difference(expected.read_bytes(), predicted))
            )
    print("%d end-to-end cases, %d failed" % (checked, failed))
    return failed if checked else 1


def failures(runner, _options):
    return table_of_cases(runner, cases.failure_classes())


def boundaries(runner, _options):
    return table_of_cases(runner, cases.boundaries())


def truncations(runner, _options):
    """Every cut of the example shows its first blocks, whole and in order,
    then one failure line; a longer cut never shows fewer blocks."""
    example = EXAMPLE.read_bytes()
    whole = report_model.expected(example)
    blocks = [block + b"\n\n" for block in whole.split(b"\n\n")[:-1]]
    assert blocks and b"".join(blocks) == whole
    openings = [b"".join(blocks[:count]) for count in range(len(blocks) + 1)]
    failed = 0
    shown = 0
    runs = []
    for size in range(len(example)):
        predicted = report_model.expected(example[:size])
        head, newline, failure = predicted[:-1].rpartition(b"\n")
        opening = head + newline
        known = failure.startswith(b"class BadDNS") or failure == report_model.NO_DIAGNOSTIC
        if (
            not predicted.endswith(b"\n")
            or not known
            or opening not in openings
            or openings.index(opening) < shown
        ):
            failed += 1
            print("[FAILED] cut at %d: the model predicts %r" % (size, excerpt(predicted)))
        else:
            shown = openings.index(opening)
        runs.append(("cut_at_%d" % size, example[:size], predicted))
    failed += run_all(runner, runs)
    print("%d cuts, %d failed" % (len(example), failed))
    return failed


def sweep(runner, options):
    """Every byte replaced in turn by each sweep value. With --step N each
    position gets every Nth value only, in rotation from one position to the
    next, so that every position and every value still come up."""
    example = EXAMPLE.read_bytes()
    runs = []
    for position in range(len(example)):
        for index, value in enumerate(SWEEP_VALUES):
            if (position + index) % options.step or example[position] == value:
                continue
            mutated = example[:position] + bytes([value]) + example[position + 1 :]
            label = "byte_%d_%02X" % (position, value)
            runs.append((label, mutated, report_model.expected(mutated)))
    failed = run_all(runner, runs)
    print("%d mutations, %d failed" % (len(runs), failed))
    return failed


SUITES = {
    "model": model,
    "failures": failures,
    "boundaries": boundaries,
    "truncations": truncations,
    "sweep": sweep,
}


def main():
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter
    )
    parser.add_argument("program")
    parser.add_argument("suite", choices=sorted(SUITES))
    parser.add_argument("--timeout", type=float, default=20, help="seconds a run may take")
    parser.add_argument(
        "--step",
        type=int,
        default=1,
        choices=range(1, len(SWEEP_VALUES) + 1),
        help="sweep every STEP-th value at each position",
    )
    options = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="skelvin-robustness-") as folder:
        runner = Runner(options.program, folder, options.timeout)
        failed = SUITES[options.suite](runner, options)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
