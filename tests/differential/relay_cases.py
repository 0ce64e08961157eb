"""Relay lists for the differential test and what the tool must print for
each.

`valid_reply` makes random replies that any DNS decoder must read the way
the tool does. The functions registered with `by_design` make replies on
which an ordinary decoder (dnspython among them) and the tool part ways on
purpose; each says why. For every case the report the tool must print is
worked out from the way the message was built (`expected_report`), following
the tool's rules for names: one pointer followed per position, a pointer
that leads to a pointer refused, at most 255 labels, no limit on a name's
bytes or on its pointers.

Every case comes from its own generator seeded with the run's seed, the
kind and the index, so one case can be made again on its own.
"""

import random

from wire_encoder import (Beyond, CutLabel, End, Label, Pointer, Reserved, Root, Wire,
                          label_text, name, wire_size)

TYPE_A = 1
TYPE_NS = 2
TYPE_CNAME = 5
TYPE_SOA = 6
TYPE_PTR = 12
TYPE_MX = 15
TYPE_TXT = 16
TYPE_AAAA = 28
TYPE_SRV = 33
TYPE_OPT = 41
TYPE_TSIG = 250
TYPE_ANY = 255
CLASS_IN = 1
CLASS_CH = 3
CLASS_HS = 4
CLASS_NONE = 254
CLASS_ANY = 255

OPCODE_QUERY = 0
OPCODE_UPDATE = 5
KNOWN_OPCODES = (0, 1, 2, 4, 5)

ANSWER, AUTHORITY, ADDITIONAL = 0, 1, 2
SECTION_NAMES = ("answer", "authority", "additional")

HEADER_SIZE = 12
# dnspython refuses a name of more than 255 bytes in wire form and more than
# 16 pointers in one name; the valid replies stay below both.
MAX_NAME_BYTES = 255
MAX_VALID_HOPS = 15
MAX_LABELS = 255

BAD_NAME = "class BadDNSName"
BAD_COMPRESSED_NAME = "class BadDNSCompressedName"
BAD_SERVICE_DATA = "class BadDNSServiceRecordData"
NO_DIAGNOSTIC = "No diagnostic message available"
UNAFFILIATED = b"Unaffiliated"

# Bytes that text handling tends to get wrong: separators, escapes, line
# ends, zero, and the bytes that start pointers and reserved label kinds.
SPECIAL_BYTES = b".\\ \x00\xff\n\r\t\"\xc0\x3f\x40#;"
WORD_BYTES = b"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_"


class Service:
    def __init__(self, priority, weight, port, target):
        self.priority = priority
        self.weight = weight
        self.port = port
        self.target = target


class Record:
    """A record as the generator wrote it; `fails_with` is the failure line
    the tool must end with on reaching it."""

    def __init__(self, section, owner, record_type, record_class, service=None, fails_with=None):
        self.section = section
        self.owner = owner
        self.type = record_type
        self.record_class = record_class
        self.service = service
        self.fails_with = fails_with


class Case:
    def __init__(self, kind, index, seed):
        self.kind = kind
        self.index = index
        self.seed = seed
        self.data = b""
        self.records = []
        self.question_count = 0
        self.unusable_reply = False
        self.why = None
        # What dnspython is expected to make of a by-design case; a
        # different verdict is reported as a note, not as a failure.
        self.dnspython_refuses = None

    @property
    def id(self):
        return f"{self.kind}#{self.index}"


class Refusal(Exception):
    def __init__(self, line):
        super().__init__(line)
        self.line = line


# The tool's reading of names, over the spots of a built message.


def cursor_at(spot):
    """The label a name cursor made at `spot` sits on: a pointer there is
    followed once, and what it leads to must be a label or the root."""
    if isinstance(spot, Pointer):
        spot = spot.target
    if isinstance(spot, (Label, Root)):
        return spot
    raise Refusal(BAD_NAME)


def affiliation(owner, data):
    first = cursor_at(owner)
    if isinstance(first, Root) or isinstance(cursor_at(first.next), Root):
        return UNAFFILIATED
    return label_text(first, data)


def host_name(target, data):
    cursor = cursor_at(target)
    if isinstance(cursor, Root):
        return b"."
    text = bytearray()
    labels = 0
    while not isinstance(cursor, Root):
        text += label_text(cursor, data) + b"."
        labels += 1
        if labels > MAX_LABELS:
            raise Refusal(BAD_NAME)
        cursor = cursor_at(cursor.next)
    return bytes(text)


def expected_report(case):
    """(blocks, failure line or None) that the tool must print for `case`.
    A block is (affiliation, host name, port, priority, weight)."""
    if case.unusable_reply:
        return [], NO_DIAGNOSTIC
    blocks = []
    for record in case.records:
        if record.fails_with:
            return blocks, record.fails_with
        if record.type != TYPE_SRV or record.record_class != CLASS_IN:
            continue
        service = record.service
        try:
            blocks.append((affiliation(record.owner, case.data),
                           host_name(service.target, case.data), service.port, service.priority,
                           service.weight))
        except Refusal as refusal:
            return blocks, refusal.line
    return blocks, None


def reach(spot):
    """(bytes, pointers) of the name read from `spot`: its size in wire
    form with every pointer replaced by what it leads to, and the number of
    pointers followed. Raises ValueError for anything but a name that ends
    in a root label within dnspython's limits. Only for names that no
    longer change: the result is kept in the spot."""
    if not hasattr(spot, "reach"):
        try:
            spot.reach = _reach(spot)
        except ValueError:
            spot.reach = None
    if spot.reach is None:
        raise ValueError("not a name within dnspython's limits")
    return spot.reach


def _reach(spot):
    size = hops = 0
    while True:
        if isinstance(spot, Label):
            size += 1 + spot.length
            spot = spot.next
        elif isinstance(spot, Root):
            return size + 1, hops
        elif isinstance(spot, Pointer):
            hops += 1
            spot = spot.target
        else:
            raise ValueError("not a name")
        if size > MAX_NAME_BYTES or hops > MAX_VALID_HOPS:
            raise ValueError("beyond the limits")


def random_u16(rng):
    return rng.choice((0, 1, 255, 256, 65534, 65535, rng.randrange(65536), rng.randrange(65536)))


def random_bytes(rng, count):
    return bytes(rng.randrange(256) for _ in range(count))


def label_bytes(rng, length):
    out = bytearray()
    for _ in range(length):
        roll = rng.random()
        if roll < 0.3:
            out.append(rng.choice(SPECIAL_BYTES))
        elif roll < 0.75:
            out.append(rng.choice(WORD_BYTES))
        else:
            out.append(rng.randrange(256))
    return bytes(out)


def label_length(rng):
    roll = rng.random()
    if roll < 0.45:
        return rng.randint(1, 4)
    if roll < 0.8:
        return rng.randint(5, 15)
    if roll < 0.95:
        return rng.randint(16, 62)
    return 63


class MessageBuilder:
    """Writes one message item by item and keeps the record list.

    The spots of every completed item that a later name may point at are
    kept in pools: `names` (labels whose names stay within dnspython's
    limits), `roots` (zero bytes anywhere: each is a root name) and
    `pointers`. Only completed items count, so a pointer taken from a pool
    always points back before the name that holds it, as dnspython wants.
    """

    def __init__(self, rng, case, *, ident=None, opcode=OPCODE_QUERY, qr=True, tc=False, rcode=0,
                 deep=False):
        self.rng = rng
        self.case = case
        self.opcode = opcode
        self.deep = deep
        self.wire = Wire()
        self.names = []
        self.roots = []
        self.pointers = []
        self.header_spots = {}
        self.counts = [0, 0, 0]
        self.extra_counts = [0, 0, 0]
        self.section = ANSWER
        if ident is None:
            ident = rng.choice((rng.randrange(65536), rng.randrange(256), rng.randrange(256) << 8,
                                0x0100 | rng.randrange(256)))
        flags = (qr << 15 | opcode << 11 | rng.getrandbits(1) << 10 | tc << 9 |
                 rng.getrandbits(1) << 8 | rng.choice((0, 0, 1)) << 7 |
                 rng.choice((0, 0, 0, rng.randrange(8))) << 4 | rcode)
        self.wire.put_uint(ident, 2)
        self.wire.put_uint(flags, 2)
        self.wire.put(bytes(8))
        self._header_spots(self.wire.data)

    def _header_spots(self, header):
        # A pointer into the header finds its bytes: each zero byte is a
        # root name, and the flags byte is a reserved label kind for every
        # reply with a known opcode.
        spots = {}
        for offset in (0, 1, 3, 4, 6, 8, 10):
            if header[offset] == 0:
                spots[offset] = Root()
        for offset in (2, 3):
            if 64 <= header[offset] <= 191:
                spots[offset] = Reserved(header[offset])
        if header[0] == 1 and 2 in spots:
            # ID 01 xx: a label of one byte, then the flags byte.
            spots[0] = Label([bytes([header[1]])], spots[2])
        for offset, spot in sorted(spots.items()):
            self.wire.place(spot, offset)
            if isinstance(spot, Root):
                self.roots.append(spot)
        self.header_spots = spots

    # Writing items.

    def _keep(self, spots):
        for spot in spots:
            if isinstance(spot, Root):
                self.roots.append(spot)
            elif isinstance(spot, Pointer):
                self.pointers.append(spot)
            elif isinstance(spot, Label):
                try:
                    reach(spot)
                except ValueError:
                    continue
                self.names.append(spot)

    def name(self, head, keep=True):
        spots = self.wire.put_name(head)
        if keep:
            self._keep(spots)
        return head

    def field(self, value, size):
        offset = len(self.wire.data)
        self.wire.put_uint(value, size)
        self._zero_bytes(offset, offset + size)

    def raw(self, data):
        offset = len(self.wire.data)
        self.wire.put(data)
        self._zero_bytes(offset, offset + len(data))

    def _zero_bytes(self, begin, end):
        for at in range(begin, end):
            if self.wire.data[at] == 0:
                root = Root()
                self.wire.place(root, at)
                self.roots.append(root)

    def question(self, head, question_type, question_class, keep=True):
        self.name(head, keep)
        self.field(question_type, 2)
        self.field(question_class, 2)
        self.case.question_count += 1

    def record(self, section, owner, record_type, record_class, write_rdata, *, service=None,
               keep=True):
        if section < self.section:
            raise ValueError("records out of section order")
        self.section = section
        self.name(owner, keep)
        self.field(record_type, 2)
        self.field(record_class, 2)
        self.ttl()
        length_at = len(self.wire.data)
        self.wire.put(b"\0\0")
        start = len(self.wire.data)
        write_rdata()
        length = len(self.wire.data) - start
        self.wire.data[length_at:length_at + 2] = length.to_bytes(2, "big")
        self._zero_bytes(length_at, length_at + 2)
        self.counts[section] += 1
        record = Record(section, owner, record_type, record_class, service)
        self.case.records.append(record)
        return record

    def ttl(self):
        if self.rng.random() < 0.2:
            # 01 xx 00 yy: a one-label name that a pointer may find.
            self.name(name([label_bytes(self.rng, 1)]))
            self.raw(random_bytes(self.rng, 1))
        else:
            self.field(self.rng.choice((0, 3600, 0x7FFFFFFF, 0xFFFFFFFF,
                                        self.rng.getrandbits(32))), 4)

    def missing_records(self, section, count):
        """Counts `count` more records in `section` than the message holds:
        the tool runs out of message at the first of them."""
        self.extra_counts[section] += count
        self.case.records.append(Record(section, None, 0, 0, fails_with=BAD_COMPRESSED_NAME))

    def finish(self, trailing=()):
        """The message, followed by `trailing` (bytes, or name heads written
        there, which earlier names may point at)."""
        for item in trailing:
            if isinstance(item, (bytes, bytearray)):
                self.wire.put(item)
            else:
                self.wire.put_name(item)
        counts = [self.case.question_count]
        counts += [count + extra for count, extra in zip(self.counts, self.extra_counts)]
        if max(counts) > 255:
            raise ValueError("a count above 255 would break the header's root names")
        self.wire.data[4:12] = b"".join(c.to_bytes(2, "big") for c in counts)
        self.case.data = self.wire.finish()
        return self.case

    # Random content that every decoder reads alike.

    def pick_tail(self, room, deep=None):
        """A spot from the pools for a name whose own labels leave `room`
        bytes, or None for the root label."""
        deep = self.deep if deep is None else deep
        candidates = []
        for spot in self.names:
            size, hops = reach(spot)
            if size <= room and hops < MAX_VALID_HOPS:
                candidates.append((hops, spot))
        if candidates and deep:
            deepest = max(hops for hops, _ in candidates)
            return self.rng.choice([spot for hops, spot in candidates if hops == deepest])
        if candidates and self.rng.random() < 0.75:
            return self.rng.choice(candidates)[1]
        return self.rng.choice(self.roots) if self.roots else None

    def random_label(self, length):
        """A label's text; now and then with a small name inside it, so that
        a pointer can land in the middle of a label."""
        if length >= 5 and self.rng.random() < 0.08:
            inner = self.small_name(min(length - 1, 12))
            size = wire_size(inner)
            before = self.rng.randint(0, length - size)
            return [label_bytes(self.rng, before), inner,
                    label_bytes(self.rng, length - size - before)]
        return label_bytes(self.rng, length)

    def small_name(self, room):
        """A name of at most `room` bytes in wire form (room at least 1)."""
        labels = []
        used = 0
        while used + 3 <= room and self.rng.random() < 0.6:
            length = self.rng.randint(1, min(8, room - used - 2))
            labels.append(label_bytes(self.rng, length))
            used += 1 + length
        tail = None
        if used + 2 <= room and self.rng.random() < 0.4:
            tail = self.pick_tail(MAX_NAME_BYTES - used, deep=False)
        return name(labels, tail)

    def random_name(self, most_labels=4):
        deep = self.deep and self.rng.random() < 0.9
        count = self.rng.choice((1, 1, 2)) if deep else self.rng.randint(0, most_labels)
        labels = []
        used = 0
        for _ in range(count):
            length = min(self.rng.randint(1, 3) if deep else label_length(self.rng),
                         MAX_NAME_BYTES - 3 - used)
            if length < 1:
                break
            labels.append(self.random_label(length))
            used += 1 + length
        tail = None
        if self.rng.random() < (0.95 if deep else 0.6):
            tail = self.pick_tail(MAX_NAME_BYTES - used, deep)
        return name(labels, tail)

    def filler(self, size):
        """`size` bytes that sometimes hold a name a later pointer may find."""
        if size == 0:
            return
        if self.rng.random() < 0.4:
            start = self.rng.randint(0, size - 1)
            inner = self.small_name(size - start)
            self.raw(random_bytes(self.rng, start))
            self.name(inner)
            self.raw(random_bytes(self.rng, size - start - wire_size(inner)))
        else:
            self.raw(random_bytes(self.rng, size))

    def service_rdata(self, service, extra=b"", keep=True):
        """Writes SRV data; a target of None becomes a random name made when
        the data is written, so that it may point into the owner name."""
        def write():
            self.field(service.priority, 2)
            self.field(service.weight, 2)
            self.field(service.port, 2)
            if service.target is None:
                service.target = self.random_name()
            self.name(service.target, keep)
            self.raw(extra)
        return write

    def random_service(self, target=None):
        return Service(random_u16(self.rng), random_u16(self.rng), random_u16(self.rng), target)

    def relay(self, section, owner=None, target=None, extra=b"", keep=True):
        """An SRV record of class IN; random owner and target by default."""
        service = self.random_service(target)
        owner = self.random_name() if owner is None else owner
        return self.record(section, owner, TYPE_SRV, CLASS_IN,
                           self.service_rdata(service, extra, keep), service=service, keep=keep)

    def other_class(self):
        classes = [CLASS_CH, CLASS_HS, 0, 2, 0x1234, 0xFFFF, self.rng.randint(5, 253)]
        if self.opcode != OPCODE_UPDATE:
            # An UPDATE gives these two classes a meaning of their own.
            classes += [CLASS_NONE, CLASS_ANY]
        return self.rng.choice(classes)

    def any_class(self):
        return CLASS_IN if self.rng.random() < 0.8 else self.other_class()

    def random_record(self, section):
        rng = self.rng
        kind = rng.choices(
            ("srv", "srv-other-class", "a", "aaaa", "name", "mx", "txt", "soa", "unknown"),
            weights=(40, 8, 6, 4, 10, 5, 8, 3, 5))[0]
        if kind == "srv":
            return self.relay(section)
        owner = self.random_name()
        if kind == "srv-other-class":
            # Neither decoder reads the data of an SRV record of another
            # class, so it may hold anything.
            if rng.random() < 0.5:
                data = self.service_rdata(self.random_service())
            else:
                data = lambda: self.raw(random_bytes(rng, rng.randint(0, 24)))
            return self.record(section, owner, TYPE_SRV, self.other_class(), data)
        if kind == "a":
            return self.record(section, owner, TYPE_A, CLASS_IN, lambda: self.filler(4))
        if kind == "aaaa":
            return self.record(section, owner, TYPE_AAAA, CLASS_IN, lambda: self.filler(16))
        if kind == "name":
            return self.record(section, owner, rng.choice((TYPE_NS, TYPE_CNAME, TYPE_PTR)),
                               self.any_class(), lambda: self.name(self.random_name()))
        if kind == "mx":
            def mx():
                self.field(random_u16(rng), 2)
                self.name(self.random_name())
            return self.record(section, owner, TYPE_MX, self.any_class(), mx)
        if kind == "txt":
            def txt():
                for _ in range(rng.randint(1, 3)):
                    length = rng.randint(0, 40)
                    self.field(length, 1)
                    self.filler(length)
            return self.record(section, owner, TYPE_TXT, self.any_class(), txt)
        if kind == "soa":
            def soa():
                self.name(self.random_name())
                self.name(self.random_name())
                for _ in range(5):
                    self.field(rng.getrandbits(32), 4)
            return self.record(section, owner, TYPE_SOA, self.any_class(), soa)
        return self.record(section, owner, rng.randint(0xFF00, 0xFFFE), self.any_class(),
                           lambda: self.filler(rng.randint(0, 24)))

    def random_questions(self, most=3):
        for _ in range(self.rng.choice((0, 0, 1, 1, 1, 2, most))):
            question_type = self.rng.choice((TYPE_SRV, TYPE_SRV, TYPE_A, TYPE_AAAA, TYPE_ANY,
                                             self.rng.randrange(65536)))
            self.question(self.random_name(), question_type, self.any_class())

    def random_records(self, section, count):
        for _ in range(count):
            self.random_record(section)


def valid_reply(case, rng):
    """A random reply both decoders must read alike."""
    opcode = rng.choice((0, 0, 0, 0, 0, 1, 2, 4, OPCODE_UPDATE))
    b = MessageBuilder(rng, case, opcode=opcode, deep=rng.random() < 0.2)
    if opcode == OPCODE_UPDATE:
        # dnspython reads an UPDATE's question section as its zone: one
        # entry of type SOA.
        b.question(b.random_name(), TYPE_SOA, CLASS_IN)
    else:
        b.random_questions()
    b.random_records(ANSWER, rng.randint(0, 6))
    b.random_records(AUTHORITY, rng.randint(0, 3))
    b.random_records(ADDITIONAL, rng.randint(0, 4))
    trailing = [random_bytes(rng, rng.randint(1, 8))] if rng.random() < 0.2 else []
    return b.finish(trailing)


# The cases where the tool keeps its own rules.

BY_DESIGN = {}


def by_design(why, dnspython_refuses=True):
    def register(function):
        BY_DESIGN[function.__name__] = (function, why, dnspython_refuses)
        return function
    return register


def variant(case, options, every=1):
    """One of `options` by the case's index, so that every variant is made
    once `every` × len(options) cases of a kind are."""
    return options[case.index // every % len(options)]


def words(rng, count, longest=6):
    return [label_bytes(rng, rng.randint(1, longest)) for _ in range(count)]


def background(rng, case, **options):
    """A builder with a few questions and answer records already written."""
    b = MessageBuilder(rng, case, **options)
    b.random_questions(2)
    b.random_records(ANSWER, rng.randint(0, 3))
    return b


def labels_of(head):
    spots = []
    while isinstance(head, Label):
        spots.append(head)
        head = head.next
    return spots


def looped(labels, at):
    """A name whose final pointer leads back to its own label `at`."""
    head = name(labels)
    chain = labels_of(head)
    chain[-1].next = Pointer(chain[at])
    return head


def chain_record(b, section, links, label_count=1):
    """A record of a private type whose data holds `links` names, each
    `label_count` short labels and a pointer to the one before; returns the
    last name's head. Neither decoder reads this record's data."""
    heads = []

    def write():
        tail = None
        for _ in range(links):
            head = name(words(b.rng, label_count, 3), tail)
            b.name(head, keep=False)
            heads.append(head)
            tail = head
    b.record(section, b.random_name(), 0xFF00, CLASS_IN, write)
    return heads


@by_design("dnspython takes only pointers to earlier positions; the tool follows a pointer to any "
           "position in the message, earlier or later")
def forward_pointers(case, rng):
    b = background(rng, case)
    later = [name(words(rng, rng.randint(1, 3)), rng.choice((None, b.pick_tail(200))))
             for _ in range(2)]
    owner = name(words(rng, rng.randint(0, 2)), later[0]) if rng.random() < 0.5 else None
    b.relay(ANSWER, owner=owner, target=name(words(rng, rng.randint(0, 2)), later[1]), keep=False)
    b.random_records(AUTHORITY, rng.randint(0, 2))
    # The names pointed at come later: as a record's owner, inside a
    # record's data, or after the last record.
    trailing = []
    for head in later:
        place = rng.choice(("owner", "data", "trailing"))
        if place == "owner":
            b.record(ADDITIONAL, head, TYPE_A, CLASS_IN, lambda: b.raw(random_bytes(rng, 4)))
        elif place == "data":
            b.record(ADDITIONAL, b.random_name(), TYPE_CNAME, CLASS_IN, lambda h=head: b.name(h))
        else:
            trailing.append(head)
    return b.finish(trailing)


@by_design("dnspython follows a pointer that leads to another pointer; the tool follows one "
           "pointer per position and refuses a pointer that leads to a pointer",
           dnspython_refuses=False)
def pointer_to_pointer(case, rng):
    b = background(rng, case)
    while not b.pointers:
        b.random_record(ANSWER)
    pointer = rng.choice(b.pointers)
    where = variant(case, ("target", "target after labels", "owner", "owner after one label",
                           "owner after two labels"))
    owner = target = None
    if where.startswith("target"):
        target = name(words(rng, 0 if where == "target" else rng.randint(1, 3)), pointer)
    else:
        labels = {"owner": 0, "owner after one label": 1, "owner after two labels": 2}[where]
        owner = name(words(rng, labels), pointer)
    # Past its second label the tool never reads an owner name, so the last
    # variant prints its block.
    b.relay(rng.choice((ANSWER, AUTHORITY)), owner=owner, target=target, keep=False)
    b.random_records(ADDITIONAL, rng.randint(0, 3))
    return b.finish()


@by_design("dnspython gives up after 16 pointers in one name; the tool limits the labels of a "
           "name, not its pointers")
def long_pointer_chains(case, rng):
    b = background(rng, case)
    hops = rng.randint(17, 40)
    heads = chain_record(b, ANSWER, hops)
    target = name(words(rng, rng.randint(0, 2), 4), heads[-1])
    owner = rng.choice((None, Pointer(rng.choice(heads))))
    b.relay(ANSWER, owner=owner, target=target, keep=False)
    b.random_records(ADDITIONAL, rng.randint(0, 3))
    return b.finish()


@by_design("dnspython refuses a name of more than 255 bytes; the tool limits a name to 255 labels "
           "and sets no limit on its bytes")
def long_names(case, rng):
    b = background(rng, case)
    labels = rng.randint(13, 60)

    def long_labels():
        return [label_bytes(rng, rng.randint(20, 63)) for _ in range(labels)]

    owner = target = None
    shape = variant(case, ("target", "compressed target", "owner"))
    if shape == "target":
        target = name(long_labels())
    elif shape == "compressed target":
        # The long part is an earlier record's owner name.
        earlier = name(long_labels())
        b.record(ANSWER, earlier, TYPE_A, CLASS_IN, lambda: b.raw(random_bytes(rng, 4)),
                 keep=False)
        target = name(words(rng, rng.randint(0, 3)), earlier)
    else:
        owner = name(long_labels())
    b.relay(AUTHORITY, owner=owner, target=target, keep=False)
    return b.finish()


@by_design("the tool reads at most 255 labels of a name, which also ends every compression loop; "
           "dnspython refuses such names for their bytes or their pointers")
def label_limit(case, rng):
    b = background(rng, case)
    shape = variant(case, ("255 labels", "256 labels", "more labels", "loop", "loop of two names",
                           "owner loop"))
    owner = target = None
    if shape.endswith("labels"):
        count = {"255 labels": 255, "256 labels": 256}.get(shape, rng.randint(257, 400))
        # Part of the labels in earlier names, reached through pointers.
        links = rng.randint(0, 5)
        per_link = rng.randint(1, count // max(links, 1) // 2 + 1) if links else 0
        heads = chain_record(b, ANSWER, links, per_link) if links else []
        inline = count - links * per_link
        target = name(words(rng, inline, 2), heads[-1] if heads else None)
    elif shape == "loop":
        labels = words(rng, rng.randint(1, 5))
        target = looped(labels, rng.randrange(len(labels)))
    elif shape == "loop of two names":
        # The first name points forward to the second, which points back.
        first = name(words(rng, rng.randint(1, 3)))
        second = name(words(rng, rng.randint(1, 3)), first)
        labels_of(first)[-1].next = Pointer(second)
        b.record(ANSWER, b.random_name(), 0xFF01, CLASS_IN, lambda: b.name(first, keep=False))
        b.record(ANSWER, b.random_name(), 0xFF02, CLASS_IN, lambda: b.name(second, keep=False))
        target = name(words(rng, rng.randint(0, 2)), rng.choice((first, second)))
    else:
        # The tool reads an owner up to its second label only: a loop
        # behind it goes unnoticed and the block is printed.
        labels = words(rng, rng.randint(1, 4))
        owner = looped(labels, rng.randrange(len(labels)))
    b.relay(ANSWER, owner=owner, target=target, keep=False)
    b.random_records(ADDITIONAL, rng.randint(0, 3))
    return b.finish()


@by_design("dnspython wants an SRV record's data to end with its target name; the tool ignores "
           "what follows the target")
def service_data_after_target(case, rng):
    b = background(rng, case)
    b.relay(ANSWER, extra=random_bytes(rng, rng.randint(1, 12)))
    b.random_records(ADDITIONAL, rng.randint(0, 3))
    return b.finish()


@by_design("the tool follows only the owner and target names of SRV records of class IN, and an "
           "owner no further than its second label; dnspython reads every name whole")
def names_never_followed(case, rng):
    b = MessageBuilder(rng, case)
    later = []

    def bad_name(labels):
        kind = rng.choice(("forward", "beyond", "loop", "flags"))
        if kind == "loop":
            return looped(words(rng, labels + 1), rng.randint(0, labels))
        if kind == "forward":
            tail = name(words(rng, rng.randint(1, 2)))
            later.append(tail)
        elif kind == "beyond":
            tail = Beyond(rng.randint(0, 50))
        else:
            tail = b.header_spots[2]
        return name(words(rng, labels), tail)

    for _ in range(rng.randint(0, 2)):
        if rng.random() < 0.5:
            b.question(bad_name(rng.randint(0, 2)), TYPE_SRV, CLASS_IN, keep=False)
        else:
            b.question(b.random_name(), TYPE_SRV, CLASS_IN)
    b.random_records(ANSWER, rng.randint(0, 2))
    for _ in range(rng.randint(1, 3)):
        place = rng.choice(("owner", "srv of another class", "data", "relay owner"))
        if place == "owner":
            b.record(b.section, bad_name(rng.randint(0, 2)), TYPE_A, CLASS_IN,
                     lambda: b.raw(random_bytes(rng, 4)), keep=False)
        elif place == "srv of another class":
            service = b.random_service(bad_name(rng.randint(0, 2)))
            b.record(b.section, bad_name(rng.randint(0, 2)), TYPE_SRV, b.other_class(),
                     b.service_rdata(service, keep=False), keep=False)
        elif place == "data":
            b.record(b.section, b.random_name(), rng.choice((TYPE_CNAME, TYPE_NS, TYPE_PTR)),
                     CLASS_IN, lambda: b.name(bad_name(rng.randint(0, 2)), keep=False))
        else:
            b.relay(b.section, owner=bad_name(2), keep=False)
        b.relay(b.section)
    b.random_records(ADDITIONAL, rng.randint(0, 2))
    return b.finish(later)


@by_design("dnspython checks the data of the record types it knows; the tool does not look into "
           "the data of records it does not print")
def other_data_malformed(case, rng):
    b = background(rng, case)
    for _ in range(rng.randint(1, 3)):
        kind = rng.choice(("a", "aaaa", "mx", "cname", "txt", "soa"))
        if kind == "a":
            size = rng.choice((0, 1, 2, 3, 5, 8))
            b.record(ANSWER, b.random_name(), TYPE_A, CLASS_IN,
                     lambda: b.raw(random_bytes(rng, size)))
        elif kind == "aaaa":
            size = rng.choice((0, 4, 15, 17))
            b.record(ANSWER, b.random_name(), TYPE_AAAA, CLASS_IN,
                     lambda: b.raw(random_bytes(rng, size)))
        elif kind == "mx":
            b.record(ANSWER, b.random_name(), TYPE_MX, CLASS_IN,
                     lambda: b.raw(random_bytes(rng, 1)))
        elif kind == "cname":
            # A reserved label kind, or a label that runs past the data.
            data = rng.choice((bytes([rng.randint(64, 191)]) + random_bytes(rng, 3),
                               b"\x05abc"))
            b.record(ANSWER, b.random_name(), TYPE_CNAME, CLASS_IN, lambda: b.raw(data))
        elif kind == "txt":
            b.record(ANSWER, b.random_name(), TYPE_TXT, CLASS_IN,
                     lambda: b.raw(b"\x09" + label_bytes(rng, 4)))
        else:
            b.record(ANSWER, b.random_name(), TYPE_SOA, CLASS_IN, lambda: b.raw(b"\x00\x00"))
        b.relay(ANSWER)
    return b.finish()


@by_design("dnspython gives OPT and TSIG records a meaning and refuses them out of place or "
           "unsigned; to the tool they are records it does not print")
def special_records(case, rng):
    b = background(rng, case)
    kind = variant(case, ("opt in answer", "opt owner", "two opts", "tsig"))
    if kind == "opt in answer":
        b.record(ANSWER, name([]), TYPE_OPT, 4096, lambda: None)
        b.relay(AUTHORITY)
    elif kind == "opt owner":
        b.relay(ADDITIONAL)
        b.record(ADDITIONAL, name(words(rng, 1)), TYPE_OPT, 4096, lambda: None)
    elif kind == "two opts":
        b.record(ADDITIONAL, name([]), TYPE_OPT, 1232, lambda: None)
        b.relay(ADDITIONAL)
        b.record(ADDITIONAL, name([]), TYPE_OPT, 1232, lambda: None)
    else:
        b.relay(ANSWER)
        b.record(ADDITIONAL, b.random_name(), TYPE_TSIG, CLASS_ANY,
                 lambda: b.raw(random_bytes(rng, rng.randint(0, 30))))
    return b.finish()


@by_design("dnspython decodes queries, truncated replies and error replies like any other "
           "message; the tool refuses them before reading a record", dnspython_refuses=False)
def unusable_replies(case, rng):
    kind = variant(case, ("query", "truncated", "error"))
    b = MessageBuilder(rng, case, qr=kind != "query", tc=kind == "truncated",
                       rcode=rng.randint(1, 15) if kind == "error" else 0)
    b.random_questions(2)
    b.relay(ANSWER)
    b.random_records(AUTHORITY, rng.randint(0, 3))
    case.unusable_reply = True
    return b.finish()


@by_design("the tool does not look at the opcode; dnspython refuses opcodes it does not know, and "
           "for an UPDATE wants a zone section of one SOA entry")
def opcodes(case, rng):
    opcode = rng.choice((3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, OPCODE_UPDATE))
    b = MessageBuilder(rng, case, opcode=opcode)
    if opcode == OPCODE_UPDATE:
        for _ in range(rng.choice((0, 2))):
            b.question(b.random_name(), TYPE_SOA, CLASS_IN)
    else:
        b.random_questions(2)
    b.random_records(ANSWER, rng.randint(1, 4))
    b.relay(AUTHORITY)
    return b.finish()


@by_design("dnspython refuses a message that holds fewer records than its counts say; the tool "
           "prints the records present, then fails at the first missing one")
def counts_above_records(case, rng):
    b = background(rng, case)
    b.random_records(AUTHORITY, rng.randint(0, 3))
    b.relay(AUTHORITY)
    b.missing_records(rng.choice((ANSWER, AUTHORITY, ADDITIONAL)), rng.randint(1, 5))
    return b.finish()


@by_design("a pointer into the header reads the header's bytes as a name: its zero bytes are root "
           "names (the valid replies use them), but the flags byte of a reply is a reserved label "
           "kind; the tool fails only on the labels it reads")
def header_pointers(case, rng):
    # ID 01 xx starts the header with a one-byte label that runs into the
    # flags byte; other IDs leave the flags byte alone to point at.
    ident = variant(case, (0x0100 | rng.randrange(256), 0x4000 | rng.randrange(0x4000)), every=5)
    b = background(rng, case, ident=ident)
    spots = b.header_spots
    trap = spots[0] if isinstance(spots.get(0), Label) else spots[2]
    where = variant(case, ("target", "target after labels", "owner", "owner after one label",
                           "owner after two labels"))
    owner = target = None
    if where.startswith("target"):
        target = name(words(rng, 0 if where == "target" else rng.randint(1, 3)), trap)
    else:
        labels = {"owner": 0, "owner after one label": 1, "owner after two labels": 2}[where]
        owner = name(words(rng, labels), trap)
    b.relay(ANSWER, owner=owner, target=target, keep=False)
    b.random_records(AUTHORITY, rng.randint(0, 2))
    return b.finish()


@by_design("a pointer at or past the end of the message, or to a label cut off by the end or "
           "followed by nothing: the tool refuses such a name when it reads that far (dnspython "
           "refuses every pointer forwards)")
def past_the_end(case, rng):
    b = background(rng, case)
    kind = variant(case, ("pointer to the end", "pointer beyond", "cut label", "last label"))
    trailing = []
    if kind == "pointer to the end":
        trap = End()
    elif kind == "pointer beyond":
        trap = Beyond(rng.randint(1, 2000))
    elif kind == "cut label":
        text = label_bytes(rng, rng.randint(0, 5))
        trap = CutLabel(len(text) + rng.randint(1, 10), text)
        trailing.append(trap)
    else:
        # A label whose text ends at the last byte: the name has nothing
        # after it.
        trap = Label([label_bytes(rng, rng.randint(1, 10))], End())
        trailing.append(trap)
    where = variant(case, ("target", "owner", "owner after one label", "owner after two labels"),
                    every=4)
    if where == "target":
        b.relay(ANSWER, target=name(words(rng, rng.randint(0, 2)), trap), keep=False)
    else:
        labels = {"owner": 0, "owner after one label": 1, "owner after two labels": 2}[where]
        b.relay(ANSWER, owner=name(words(rng, labels), trap), keep=False)
    return b.finish(trailing)


def make_case(kind, index, seed):
    """Case `index` of `kind` ("valid" or a by-design kind) for `seed`."""
    rng = random.Random(f"{seed}:{kind}:{index}")
    case = Case(kind, index, seed)
    if kind == "valid":
        return valid_reply(case, rng)
    function, why, dnspython_refuses = BY_DESIGN[kind]
    case.why = why
    case.dnspython_refuses = dnspython_refuses
    return function(case, rng)
