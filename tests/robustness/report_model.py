"""What Skelvin prints for a relay list, worked out independently of its code.

expected(message) is the whole standard output for a relay list file
holding `message`: the block of every SRV record of class IN reached, then,
when the message cannot be read to its last counted record, the line of the
failure that stopped it. Written from the rules of the report and its
decoders, not from their code, so that the tests compare two readings.
"""

import struct

HEADER_SIZE = 12
QUESTION_FIXED_SIZE = 4  # TYPE, CLASS
RECORD_FIXED_SIZE = 10  # TYPE, CLASS, TTL, RDLENGTH
SERVICE_FIXED_SIZE = 6  # PRIORITY, WEIGHT, PORT
TYPE_SRV = 33
CLASS_IN = 1
MAX_LABEL_LENGTH = 63
POINTER_TAG = 0xC0
MAX_LABELS = 255

NO_DIAGNOSTIC = b"No diagnostic message available"


class Failure(Exception):
    """A failure of the report; `line` is what the program prints for it."""

    def __init__(self, class_name):
        super().__init__(class_name)
        self.line = b"class " + class_name.encode() if class_name else NO_DIAGNOSTIC


def failure_line(class_name):
    """The printed line for a failure class; None stands for the reply check."""
    return Failure(class_name).line + b"\n"


def name_end(message, begin, end):
    """Where the wire form of the name at `begin` ends, pointers not followed.

    Every label must leave one byte after it before `end`.
    """
    if begin >= end:
        raise Failure("BadDNSCompressedName")
    position = begin
    while True:
        length = message[position]
        if length == 0:
            return position + 1
        if length >= POINTER_TAG:
            if end - position < 2:
                raise Failure("BadDNSCompressedName")
            return position + 2
        if length > MAX_LABEL_LENGTH:
            raise Failure("BadDNSCompressedName")
        position += 1 + length
        if position >= end:
            raise Failure("BadDNSCompressedName")


def label_at(message, position):
    """The label a name cursor lands on at `position`: one pointer followed.

    Returns the position of the label's length byte.
    """
    size = len(message)
    if position >= size:
        raise Failure("BadDNSName")
    if message[position] >= POINTER_TAG:
        if size - position < 2:
            raise Failure("BadDNSName")
        target = (message[position] & 0x3F) << 8 | message[position + 1]
        if target >= size:
            raise Failure("BadDNSName")
        position = target
    length = message[position]
    if length > MAX_LABEL_LENGTH or length >= size - position:
        raise Failure("BadDNSName")
    return position


def next_label(message, label):
    return label_at(message, label + 1 + message[label])


def label_text(message, label):
    return message[label + 1 : label + 1 + message[label]]


def affiliation(message, owner):
    first = label_at(message, owner)
    if message[first] == 0 or message[next_label(message, first)] == 0:
        return b"Unaffiliated"
    return label_text(message, first)


def host_name(message, target):
    label = label_at(message, target)
    if message[label] == 0:
        return b"."
    text = b""
    count = 0
    while message[label] != 0:
        text += label_text(message, label) + b"."
        count += 1
        if count > MAX_LABELS:
            raise Failure("BadDNSName")
        label = next_label(message, label)
    return text


def block(affiliation, host, port, priority, weight):
    """The six lines printed for one relay."""
    return (
        b"Affiliation: " + affiliation + b"\n"
        b"Name:        " + host + b"\n"
        b"Port:        " + str(port).encode() + b"\n"
        b"Priority:    " + str(priority).encode() + b"\n"
        b"Weight:      " + str(weight).encode() + b"\n"
        b"\n"
    )


def service_block(message, owner, rdata_begin, rdata_end):
    if rdata_end - rdata_begin < SERVICE_FIXED_SIZE:
        raise Failure("BadDNSServiceRecordData")
    priority, weight, port = struct.unpack_from(">3H", message, rdata_begin)
    target = rdata_begin + SERVICE_FIXED_SIZE
    name_end(message, target, rdata_end)
    # Every check comes before the block's first line.
    return block(affiliation(message, owner), host_name(message, target), port, priority, weight)


def walk(message, blocks):
    """Appends the block of each relay to `blocks`; raises at the first failure."""
    size = len(message)
    if size < HEADER_SIZE:
        raise Failure("BadDNSMessageHeader")
    _, flags, questions, answers, authorities, additionals = struct.unpack_from(">6H", message)
    reply = flags & 0x8000
    truncated = flags & 0x0200
    rcode = flags & 0x000F
    if not reply or truncated or rcode:
        raise Failure(None)

    position = HEADER_SIZE
    for _ in range(questions):
        position = name_end(message, position, size)
        if size - position < QUESTION_FIXED_SIZE:
            raise Failure("BadDNSQuestion")
        position += QUESTION_FIXED_SIZE

    for _ in range(answers + authorities + additionals):
        owner = position
        position = name_end(message, position, size)
        if size - position < RECORD_FIXED_SIZE:
            raise Failure("BadDNSRecord")
        record_type, record_class, _, rdata_length = struct.unpack_from(">HHIH", message, position)
        position += RECORD_FIXED_SIZE
        if rdata_length > size - position:
            raise Failure("BadDNSRecord")
        rdata_begin = position
        position += rdata_length
        if record_type == TYPE_SRV and record_class == CLASS_IN:
            blocks.append(service_block(message, owner, rdata_begin, position))


def expected(message):
    """The program's whole standard output for a relay list holding `message`."""
    message = bytes(message)
    blocks = []
    try:
        walk(message, blocks)
    except Failure as failure:
        return b"".join(blocks) + failure.line + b"\n"
    return b"".join(blocks)
