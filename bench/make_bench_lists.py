#!/usr/bin/env python3
"""Writes the relay lists that the benchmarks and the resource checks run on.

    make_bench_lists.py KIND OUTPUT [--expected REPORT] [--records N]

KIND is one of:

  maximal     the largest relay list a header can describe: 65,535 records in
              each of the three sections, every one an SRV record of class IN
              whose owner and target are compression pointers to names held
              in the question section (about 4 MB; every record prints a
              block)
  bulk        196,605 TXT records of 1,000 bytes each (about 200 MB; nothing
              is printed)
  long-names  SRV records (--records, default 1,000) whose targets all
              point to one name of 255 labels of 63 bytes, the most text a
              name can give (16 KiB per block)
  staircase   SRV records (--records, default 10,000) whose targets point to
              the end of a staircase of names: 255 names, each one label and a
              pointer to the one before, so every target is 255 labels
              reached through 254 pointers

With --expected, the exact report that the tool must print for the list is
written to REPORT as well (maximal, long-names and staircase; the bulk list's
report is empty).
"""

import argparse
import struct
import sys

TYPE_SRV = 33
TYPE_TXT = 16
CLASS_IN = 1
MAX_COUNT = 65535
POINTER_LIMIT = 0x3FFF


def header(question_count, answer_count, authority_count, additional_count):
    # ID 0x5E1F, QR and AA set, opcode QUERY, RCODE 0.
    return struct.pack(">HHHHHH", 0x5E1F, 0x8400, question_count, answer_count,
                       authority_count, additional_count)


def name(labels):
    out = bytearray()
    for label in labels:
        out.append(len(label))
        out += label
    out.append(0)
    return bytes(out)


def pointer(offset):
    assert offset <= POINTER_LIMIT
    return struct.pack(">H", 0xC000 | offset)


def record_head(owner, record_type, rdata_length, ttl=3600):
    return owner + struct.pack(">HHIH", record_type, CLASS_IN, ttl, rdata_length)


def block(affiliation, host, port, priority, weight):
    return (f"Affiliation: {affiliation}\nName:        {host}\nPort:        {port}\n"
            f"Priority:    {priority}\nWeight:      {weight}\n\n").encode("latin-1")


def maximal():
    """Owners e<i>.relays.example. and targets relay<i>.<owner>, 64 of each,
    as questions; records point at them in turn."""
    questions = bytearray()
    owners = []
    targets = []
    offset = 12
    for index in range(64):
        owner_labels = [f"e{index}".encode(), b"relays", b"example"]
        owner_offset = offset
        question = name(owner_labels) + struct.pack(">HH", TYPE_SRV, CLASS_IN)
        questions += question
        offset += len(question)
        owners.append((owner_offset, owner_labels))
    for index in range(64):
        owner_offset, owner_labels = owners[index]
        target_offset = offset
        # relay<i> followed by a pointer to the owner name.
        target = bytes([len(f"relay{index}")]) + f"relay{index}".encode() + pointer(owner_offset)
        question = target + struct.pack(">HH", TYPE_SRV, CLASS_IN)
        questions += question
        offset += len(question)
        targets.append((target_offset, [f"relay{index}".encode()] + owner_labels))
    assert offset <= POINTER_LIMIT

    records = bytearray()
    report = bytearray()
    total = 3 * MAX_COUNT
    for index in range(total):
        owner_offset, owner_labels = owners[index % 64]
        target_offset, target_labels = targets[(index * 7) % 64]
        port = 1024 + index % 60000
        priority = index % 65536
        weight = (index * 31) % 65536
        records += record_head(pointer(owner_offset), TYPE_SRV, 8)
        records += struct.pack(">HHH", priority, weight, port) + pointer(target_offset)
        report += block(owner_labels[0].decode(), ".".join(l.decode() for l in target_labels) + ".",
                        port, priority, weight)
    message = header(128, MAX_COUNT, MAX_COUNT, MAX_COUNT) + questions + records
    return message, bytes(report)


def bulk():
    text = bytes([255]) + b"x" * 255
    # 1,000 bytes of RDATA: three strings of 255 characters and one of 231.
    rdata = text * 3 + bytes([231]) + b"y" * 231
    assert len(rdata) == 1000
    record = record_head(name([b"bulk", b"example"]), TYPE_TXT, len(rdata)) + rdata
    message = header(0, MAX_COUNT, MAX_COUNT, MAX_COUNT) + record * (3 * MAX_COUNT)
    return message, b""


def long_names(records):
    """The longest text a name can give: 255 labels of 63 bytes, the message's
    first name; every record's target is a pointer to it."""
    labels = [bytes([ord("a") + index % 26]) * 63 for index in range(255)]
    long_name = name(labels)
    assert 12 + len(long_name) <= POINTER_LIMIT
    question = long_name + struct.pack(">HH", TYPE_SRV, CLASS_IN)
    text = ".".join(l.decode() for l in labels) + "."
    body = bytearray()
    report = bytearray()
    for index in range(records):
        body += record_head(pointer(12), TYPE_SRV, 8)
        body += struct.pack(">HHH", 1, 2, index % 65536) + pointer(12)
        report += block(labels[0].decode(), text, index % 65536, 1, 2)
    return header(1, *section_counts(records)) + question + body, bytes(report)


def staircase(records):
    """A staircase of 255 question names, each one label followed by a pointer
    to the name before it, so the last is 255 labels reached through 254
    pointers; every record's target points to that last step."""
    questions = bytearray()
    offset = 12
    previous = None
    for step in range(255):
        label = bytes([ord("a") + step % 26])
        tail = pointer(previous) if previous is not None else b"\0"
        questions += bytes([1]) + label + tail + struct.pack(">HH", TYPE_SRV, CLASS_IN)
        previous = offset
        offset = 12 + len(questions)
    assert previous <= POINTER_LIMIT
    labels = [bytes([ord("a") + step % 26]).decode() for step in reversed(range(255))]
    text = ".".join(labels) + "."
    body = bytearray()
    report = bytearray()
    for index in range(records):
        body += record_head(pointer(previous), TYPE_SRV, 8)
        body += struct.pack(">HHH", 0, 0, index % 65536) + pointer(previous)
        report += block(labels[0], text, index % 65536, 0, 0)
    return header(255, *section_counts(records)) + bytes(questions) + body, bytes(report)


def section_counts(records):
    """Spreads `records` over the three sections, answers first."""
    assert records <= 3 * MAX_COUNT
    answers = min(records, MAX_COUNT)
    authority = min(records - answers, MAX_COUNT)
    return answers, authority, records - answers - authority


KINDS = {"maximal": maximal, "bulk": bulk, "long-names": long_names, "staircase": staircase}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("kind", choices=sorted(KINDS))
    parser.add_argument("output")
    parser.add_argument("--expected")
    parser.add_argument("--records", type=int)
    arguments = parser.parse_args()
    if arguments.kind in ("long-names", "staircase"):
        default = 1000 if arguments.kind == "long-names" else 10000
        message, report = KINDS[arguments.kind](arguments.records or default)
    else:
        message, report = KINDS[arguments.kind]()
    with open(arguments.output, "wb") as out:
        out.write(message)
    if arguments.expected:
        with open(arguments.expected, "wb") as out:
            out.write(report)
    return 0


if __name__ == "__main__":
    sys.exit(main())
