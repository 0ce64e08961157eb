"""Pieces of relay lists for the fixtures: each returns the wire bytes of one
item, so that a fixture is a sum of readable parts plus the few hand-written
bytes that break it."""

import struct

REPLY = 0x8000
TYPE_A = 1
TYPE_SRV = 33
CLASS_IN = 1
CLASS_CH = 3
HEADER_SIZE = 12


def name(*labels, pointer=None):
    """A name in wire form: the labels (text or bytes), then a pointer to
    `pointer` or the root label."""
    wire = b""
    for label in labels:
        label = label.encode() if isinstance(label, str) else label
        wire += bytes([len(label)]) + label
    if pointer is None:
        return wire + b"\x00"
    return wire + struct.pack(">H", 0xC000 | pointer)


def header(flags=REPLY, questions=0, answers=0, authorities=0, additionals=0):
    return struct.pack(">6H", 0x4E57, flags, questions, answers, authorities, additionals)


def question(owner, question_type=TYPE_SRV, question_class=CLASS_IN):
    return owner + struct.pack(">2H", question_type, question_class)


def record(owner, record_type, record_class, rdata, rdata_length=None):
    """A resource record; `rdata_length` overrides the true RDLENGTH."""
    if rdata_length is None:
        rdata_length = len(rdata)
    return owner + struct.pack(">HHIH", record_type, record_class, 3600, rdata_length) + rdata


def service_data(priority, weight, port, target):
    return struct.pack(">3H", priority, weight, port) + target


def service(owner, priority, weight, port, target):
    return record(owner, TYPE_SRV, CLASS_IN, service_data(priority, weight, port, target))


def relay(owner, target):
    """An SRV record with priority 1, weight 2 and port 3."""
    return service(owner, 1, 2, 3, target)


def relay_block(affiliation, host, port=3, priority=1, weight=2):
    """The printed block of a relay; affiliation and host are bytes."""
    return (
        b"Affiliation: " + affiliation + b"\n"
        b"Name:        " + host + b"\n"
        b"Port:        " + str(port).encode() + b"\n"
        b"Priority:    " + str(priority).encode() + b"\n"
        b"Weight:      " + str(weight).encode() + b"\n"
        b"\n"
    )


def placed(message, offset, item):
    """`message`, padded with zero bytes up to `offset`, then `item` there."""
    assert len(message) <= offset, "item placed inside the message"
    return message + bytes(offset - len(message)) + item


# Many fixtures open with a good record, so that they also show that the
# blocks printed before a failure stay printed.
EAST = service(name("east", "relays"), 10, 60, 7070, name("relay1", "example"))
EAST_BLOCK = relay_block(b"east", b"relay1.example.", port=7070, priority=10, weight=60)
# Where the item after the header and EAST starts.
AFTER_EAST = HEADER_SIZE + len(EAST)
