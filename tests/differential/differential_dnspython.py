#!/usr/bin/python3
"""Runs Skelvin on random relay lists and checks its report against
dnspython, an independent DNS decoder.

    differential_dnspython.py [--seed N] [--cases N] [--by-design N]
                              [--jobs N] [--case KIND#INDEX]... [--keep DIR]
                              PROGRAM

Valid replies (--cases of them): every name in them is one that both
decoders must read alike. dnspython decodes each message, one record per
RRset so that nothing is merged, and the expected report is built from its
view: a block for every SRV record of class IN, in message order. The
record list dnspython sees must be the one the generator wrote, and the
names the generator meant must be the ones dnspython reads, so neither the
oracle nor the generator can drift unnoticed.

By-design cases (--by-design of each kind in relay_cases.BY_DESIGN): where
the tool keeps rules of its own, the expected report comes from those rules
applied to the way the message was built. dnspython's verdict is shown next
to them, and a verdict other than the one the kind expects is a note.

The whole standard output must match byte for byte, the exit code must be 0
and standard error empty. Every mismatch is reported with the case's name,
the seed, a hex dump and both views; the run goes on to the end. Exit code:
0 when every case passed, 1 otherwise.
"""

import argparse
import concurrent.futures
import os
import pathlib
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))

import relay_cases  # noqa: E402
from relay_cases import CLASS_IN, TYPE_SRV, UNAFFILIATED  # noqa: E402

INSTALL_HINT = ("dnspython is missing for {python}. Install it with "
                "`sudo apt-get install python3-dnspython` (Debian; tools/install-dependencies.sh "
                "--native does it) and run this script with /usr/bin/python3, or configure with "
                "-DSKELVIN_DNSPYTHON_PYTHON=<a Python that has dnspython>.")

MAX_DETAILED_FAILURES = 20
TOOL_TIMEOUT_SECONDS = 60

BLOCK = re.compile(rb"Affiliation: (.*?)\nName:        (.*?)\nPort:        (\d+)\n"
                   rb"Priority:    (\d+)\nWeight:      (\d+)\n\n", re.S)

# With dumps on, every case that fails by design would write a minidump:
# slow, and not what this test is about.
NO_DUMPS = ("Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Quorvane]\r\n"
            "\"WriteMiniDumps\"=dword:00000000\r\n")


def render(blocks, failure):
    out = bytearray()
    for affiliation, host, port, priority, weight in blocks:
        out += b"Affiliation: " + affiliation + b"\n"
        out += b"Name:        " + host + b"\n"
        out += b"Port:        %d\nPriority:    %d\nWeight:      %d\n\n" % (port, priority, weight)
    if failure is not None:
        out += failure.encode() + b"\n"
    return bytes(out)


def parse_report(output):
    """(blocks, the rest) of a report, for showing it."""
    blocks = []
    position = 0
    while match := BLOCK.match(output, position):
        affiliation, host, port, priority, weight = match.groups()
        blocks.append((affiliation, host, int(port), int(priority), int(weight)))
        position = match.end()
    return blocks, output[position:]


def dnspython_decode(data):
    """(message, None) or (None, the exception dnspython raised)."""
    import dns.message
    try:
        # One record per RRset: otherwise equal records are merged and
        # records of one name and type are gathered into one RRset.
        return dns.message.from_wire(data, one_rr_per_rrset=True, ignore_trailing=True), None
    except Exception as error:  # noqa: BLE001 - any refusal is a verdict
        return None, error


def dnspython_records(message):
    """[(section, type, class)] of every record, and the blocks of the SRV
    records of class IN, as dnspython reads them."""
    records = []
    blocks = []
    for section, rrsets in enumerate(message.sections[1:]):
        for rrset in rrsets:
            for rdata in rrset:
                records.append((section, rrset.rdtype, rrset.rdclass))
                if rrset.rdtype != TYPE_SRV or rrset.rdclass != CLASS_IN:
                    continue
                # Absolute names end with the empty root label.
                owner = rrset.name.labels[:-1]
                target = rdata.target.labels[:-1]
                blocks.append((owner[0] if len(owner) >= 2 else UNAFFILIATED,
                               b"".join(label + b"." for label in target) or b".",
                               rdata.port, rdata.priority, rdata.weight))
    return records, blocks


def hex_dump(data):
    lines = []
    for offset in range(0, len(data), 16):
        chunk = data[offset:offset + 16]
        text = "".join(chr(b) if 32 <= b < 127 else "." for b in chunk)
        lines.append(f"    {offset:04x}  {chunk.hex(' '):<47}  |{text}|")
    return "\n".join(lines)


def describe(blocks, rest=None, failure=None):
    lines = [f"    block {n}: affiliation={a!r} name={h!r} port={p} priority={pr} weight={w}"
             for n, (a, h, p, pr, w) in enumerate(blocks, 1)] or ["    no blocks"]
    if failure is not None:
        lines.append(f"    failure line: {failure!r}")
    if rest:
        lines.append(f"    then: {rest!r}")
    return "\n".join(lines)


class Outcome:
    def __init__(self, case):
        self.case = case
        self.problems = []
        self.notes = []
        self.expected = None
        self.block_count = 0
        self.views = []


def judge(case, run):
    """Compares the tool's run with what the case must print."""
    outcome = Outcome(case)
    blocks, failure = relay_cases.expected_report(case)
    message, refusal = dnspython_decode(case.data)
    if refusal is not None:
        verdict = f"refuses it: {type(refusal).__name__}: {refusal}"
    else:
        verdict = "decodes it"
    outcome.views.append(("generator (the tool's rules)", describe(blocks, failure=failure)))

    if case.kind == "valid":
        if refusal is not None:
            outcome.problems.append(f"dnspython {verdict}; the generator meant a valid reply")
        else:
            records, oracle = dnspython_records(message)
            written = [(r.section, r.type, r.record_class) for r in case.records]
            if records != written or len(message.question) != case.question_count:
                outcome.problems.append(
                    "dnspython's records are not the generator's: "
                    f"{len(message.question)} questions and {records} against "
                    f"{case.question_count} questions and {written}")
            if oracle != blocks or failure is not None:
                outcome.problems.append("the generator's names are not dnspython's")
            outcome.views.append(("dnspython", describe(oracle)))
            blocks, failure = oracle, None
    else:
        refused = refusal is not None
        if case.dnspython_refuses is not None and refused != case.dnspython_refuses:
            outcome.notes.append(f"dnspython {verdict}, which this kind does not expect")
        outcome.views.append(("dnspython", f"    {verdict}"))

    outcome.expected = render(blocks, failure)
    outcome.block_count = len(blocks)
    returncode, stdout, stderr = run
    if returncode != 0:
        outcome.problems.append(f"exit code {returncode}")
    if stderr:
        outcome.problems.append(f"standard error: {stderr[:2000]!r}")
    if stdout != outcome.expected:
        outcome.problems.append("standard output differs")
    tool_blocks, rest = parse_report(stdout)
    outcome.views.append(("tool", describe(tool_blocks, rest)))
    return outcome


def run_tool(program, path, environment):
    try:
        result = subprocess.run([program, str(path)], capture_output=True, env=environment,
                                timeout=TOOL_TIMEOUT_SECONDS, check=False)
    except subprocess.TimeoutExpired:
        return None, b"", f"no end after {TOOL_TIMEOUT_SECONDS} seconds".encode()
    return result.returncode, result.stdout, result.stderr


def case_ids(arguments):
    if arguments.case:
        for text in arguments.case:
            kind, _, index = text.partition("#")
            if kind != "valid" and kind not in relay_cases.BY_DESIGN or not index.isdigit():
                raise SystemExit(f"unknown case {text!r}: KIND#INDEX, KIND being valid or one of "
                                 f"{', '.join(relay_cases.BY_DESIGN)}")
            yield kind, int(index)
        return
    for index in range(arguments.cases):
        yield "valid", index
    for kind in relay_cases.BY_DESIGN:
        for index in range(arguments.by_design):
            yield kind, index


def report_failure(outcome, seed, program, detailed):
    case = outcome.case
    print(f"FAILED {case.id} (seed {seed}): {'; '.join(outcome.problems)}")
    if not detailed:
        return
    print(f"  again on its own: {sys.executable} -B {os.path.abspath(sys.argv[0])} --seed {seed} "
          f"--case '{case.id}' --keep <folder> {program}")
    if case.why:
        print(f"  by design: {case.why}")
    print(f"  message ({len(case.data)} bytes):")
    print(hex_dump(case.data))
    for title, view in outcome.views:
        print(f"  {title}:")
        print(view)
    print(f"  expected output: {outcome.expected!r}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program", help="the Skelvin program to test")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--cases", type=int, default=3000, help="random valid replies")
    parser.add_argument("--by-design", type=int, default=25, help="cases of each by-design kind")
    parser.add_argument("--jobs", type=int, default=min(2, os.cpu_count() or 1))
    parser.add_argument("--case", action="append", help="run only this case (KIND#INDEX)")
    parser.add_argument("--keep", type=pathlib.Path,
                        help="write the relay lists into this folder and keep them")
    arguments = parser.parse_args()

    try:
        import dns.message  # noqa: F401
        import dns.version
    except ImportError:
        print(INSTALL_HINT.format(python=sys.executable))
        return 1

    program = os.path.abspath(arguments.program)
    ids = list(case_ids(arguments))
    print(f"seed {arguments.seed}; dnspython {dns.version.version}; {len(ids)} cases "
          f"({arguments.cases} valid replies, {arguments.by_design} of each of "
          f"{len(relay_cases.BY_DESIGN)} by-design kinds unless --case)", flush=True)

    with tempfile.TemporaryDirectory(prefix="skelvin-differential-") as work:
        work = pathlib.Path(work)
        folder = arguments.keep or work / "lists"
        folder.mkdir(parents=True, exist_ok=True)
        registry = work / "registry"
        registry.mkdir()
        (registry / "HKEY_LOCAL_MACHINE.reg").write_text(NO_DUMPS, newline="")
        environment = dict(os.environ, SKELVIN_REGISTRY_DIR=str(registry),
                           XDG_DATA_HOME=str(work / "data"), XDG_CONFIG_HOME=str(work / "config"))

        cases = []
        for kind, index in ids:
            case = relay_cases.make_case(kind, index, arguments.seed)
            path = folder / f"{kind}-{index}.dat"
            path.write_bytes(case.data)
            cases.append((case, path))

        with concurrent.futures.ThreadPoolExecutor(max(1, arguments.jobs)) as pool:
            runs = pool.map(lambda item: run_tool(program, item[1], environment), cases)
            outcomes = [judge(case, run) for (case, _), run in zip(cases, runs)]

    failed = [o for o in outcomes if o.problems]
    for number, outcome in enumerate(failed):
        report_failure(outcome, arguments.seed, arguments.program, number < MAX_DETAILED_FAILURES)
    noted = [o for o in outcomes if o.notes]
    for outcome in noted:
        print(f"note {outcome.case.id}: {'; '.join(outcome.notes)}")

    blocks = sum(o.block_count for o in outcomes)
    by_kind = {}
    for outcome in outcomes:
        total, bad = by_kind.get(outcome.case.kind, (0, 0))
        by_kind[outcome.case.kind] = (total + 1, bad + bool(outcome.problems))
    for kind, (total, bad) in by_kind.items():
        print(f"  {kind}: {total - bad} of {total} passed")
    print(f"{len(outcomes) - len(failed)} of {len(outcomes)} cases passed ({blocks} relay blocks, "
          f"{len(noted)} notes); seed {arguments.seed}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
