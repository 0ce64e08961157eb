#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets.

dns_message: small, well-formed relay lists that between them reach every
decoder and every kind of name.
relay_report: the same seeds, two with names at their size limits, and
copies of the example relay list and of the end-to-end relay lists, which
hold the report's failures and its output cases. Identical files are written
once.

Run from anywhere: python3 fuzz/make_seeds.py
The seeds are committed; rerun this after changing it or the fixtures.
"""

import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent

TYPE_A = 1
TYPE_SRV = 33
CLASS_IN = 1
CLASS_CH = 3
REPLY = 0x8000
RECURSION_DESIRED = 0x0100
RECURSION_AVAILABLE = 0x0080
TRUNCATED = 0x0200


def labels(*parts, pointer=None):
    """A name in wire form: the labels, then a pointer to `pointer` or the root label."""
    wire = b"".join(bytes([len(part)]) + part.encode("ascii") for part in parts)
    if pointer is None:
        return wire + b"\x00"
    return wire + struct.pack(">H", 0xC000 | pointer)


def header(flags, questions=0, answers=0, authorities=0, additionals=0, ident=0x1234):
    return struct.pack(">6H", ident, flags, questions, answers, authorities, additionals)


def question(name, qtype=TYPE_SRV, qclass=CLASS_IN):
    return name + struct.pack(">2H", qtype, qclass)


def record(owner, rtype, rclass, rdata, ttl=3600):
    return owner + struct.pack(">2HIH", rtype, rclass, ttl, len(rdata)) + rdata


def srv(owner, priority, weight, port, target, rclass=CLASS_IN, trailing=b""):
    rdata = struct.pack(">3H", priority, weight, port) + target + trailing
    return record(owner, TYPE_SRV, rclass, rdata)


HEADER_SIZE = 12
QUESTION = question(labels("_relay", "_tcp", "corp"))
# Offsets of the question's name and of its "corp" suffix, for pointers.
QUESTION_NAME = HEADER_SIZE
CORP_SUFFIX = HEADER_SIZE + 1 + len("_relay") + 1 + len("_tcp")
STANDARD_REPLY = REPLY | RECURSION_DESIRED | RECURSION_AVAILABLE

SEEDS = {
    "empty_reply": header(REPLY),
    "one_relay": header(STANDARD_REPLY, questions=1, answers=1)
    + QUESTION
    + srv(labels("east", "relays"), 10, 5, 700, labels("relay1", "corp", "local")),
    "compressed_names": header(STANDARD_REPLY, questions=1, answers=2)
    + QUESTION
    + srv(labels(pointer=QUESTION_NAME), 0, 0, 443, labels("relay2", pointer=CORP_SUFFIX))
    + srv(labels("west", pointer=CORP_SUFFIX), 65535, 65535, 65535, labels(pointer=QUESTION_NAME)),
    "every_section": header(STANDARD_REPLY, questions=1, answers=2, authorities=1, additionals=2)
    + QUESTION
    + record(labels("east", "relays"), TYPE_A, CLASS_IN, bytes([10, 0, 0, 1]))
    + srv(labels("east", "relays"), 1, 1, 1, labels("a", "b"))
    + srv(labels("north", "relays"), 2, 2, 2, labels("c"), rclass=CLASS_CH)
    + srv(labels("south", "relays"), 3, 3, 3, labels("d", "e", "f"))
    + record(labels("relay1", "corp"), TYPE_A, CLASS_IN, bytes([10, 0, 0, 2])),
    "root_names": header(REPLY, answers=2)
    + srv(labels(), 0, 0, 0, labels())
    + srv(labels("relays"), 0, 0, 1, labels()),
    "trailing_bytes": header(REPLY, answers=1)
    + srv(labels("east", "relays"), 10, 5, 700, labels("relay1"), trailing=b"\xaa\xbb")
    + b"\xcc\xdd",
    "truncated_query": header(TRUNCATED, questions=1, answers=1)
    + QUESTION
    + srv(labels("east", "relays"), 1, 2, 3, labels("relay1", pointer=CORP_SUFFIX)),
}


MAX_LABEL = "x" * 63
MAX_LABELS = ["a"] * 255
LONGEST_OWNER = labels(MAX_LABEL, "relays")
RECORD_FIXED_SIZE = 10
SRV_FIXED_SIZE = 6
# Where the first record's target starts when its owner is LONGEST_OWNER.
LONGEST_TARGET = HEADER_SIZE + len(LONGEST_OWNER) + RECORD_FIXED_SIZE + SRV_FIXED_SIZE

# Mutations of these reach both sides of the label and label-count limits.
REPORT_SEEDS = {
    "longest_names": header(STANDARD_REPLY, answers=1)
    + srv(LONGEST_OWNER, 1, 2, 3, labels(*MAX_LABELS)),
    # The second record's names point into the first one's: its target is
    # "b" and the first target's last 254 labels.
    "longest_names_compressed": header(STANDARD_REPLY, answers=2)
    + srv(LONGEST_OWNER, 1, 2, 3, labels(*MAX_LABELS))
    + srv(labels(pointer=HEADER_SIZE), 4, 5, 6, labels("b", pointer=LONGEST_TARGET + 2)),
}


def fixtures():
    """The example relay list and the end-to-end relay lists, by seed name."""
    yield "example", (ROOT / "examples" / "Relays.dat").read_bytes()
    for path in sorted((ROOT / "tests" / "e2e" / "cases").glob("*.dat")):
        yield "e2e_" + path.stem, path.read_bytes()


def write_corpus(name, seeds):
    directory = pathlib.Path(__file__).resolve().parent / "corpus" / name
    directory.mkdir(parents=True, exist_ok=True)
    written = set()
    for seed_name, message in seeds:
        if message not in written:
            written.add(message)
            (directory / seed_name).write_bytes(message)


def main():
    write_corpus("dns_message", SEEDS.items())
    write_corpus("relay_report", [*SEEDS.items(), *REPORT_SEEDS.items(), *fixtures()])


if __name__ == "__main__":
    main()
