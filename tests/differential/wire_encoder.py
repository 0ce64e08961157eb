"""Writes DNS messages byte by byte for the differential test.

The messages are written here, not by a DNS library, so that they can hold
what such a library would refuse to write: compression pointers to any
position (backwards, forwards, into the header, into the middle of a label's
text, to another pointer, past the end), labels of any bytes and names of
any length.

Names are built from spots. A spot is a position in the message at which a
decoder may start reading a name: a label, the root label or a compression
pointer, or one of the positions that hold no name at all (a byte of a
reserved label kind, the end of the message, a pointer target past it, a
label whose text is cut off by the end). A label knows the spot that follows
its text and a pointer knows its target, so the labels read from any spot
are known from the way the message was built, without decoding its bytes.
`Wire.finish` checks that the bytes hold what the spots say.
"""

POINTER_TAG = 0xC0
MAX_POINTER_TARGET = 0x3FFF
MAX_LABEL_LENGTH = 63


class Spot:
    """A position in the message; `offset` is set when it is written."""

    def __init__(self):
        self.offset = None


class Root(Spot):
    """The root label: one zero byte."""


class Label(Spot):
    """A label: its length byte, its text, then `next` right after the text.

    `parts` are the pieces of the text, in order: bytes, or the head spot of
    a name written inside the text (so a pointer can point into the middle
    of a label and find a name there).
    """

    def __init__(self, parts, next_spot):
        super().__init__()
        self.parts = list(parts)
        self.next = next_spot
        self.length = sum(len(p) if isinstance(p, (bytes, bytearray)) else wire_size(p)
                          for p in self.parts)
        if not 1 <= self.length <= MAX_LABEL_LENGTH:
            raise ValueError(f"label of {self.length} bytes")


class Pointer(Spot):
    """A compression pointer (two bytes) to `target`."""

    def __init__(self, target):
        super().__init__()
        self.target = target


class Reserved(Spot):
    """One byte of a label kind that no decoder accepts (64 to 191)."""

    def __init__(self, byte):
        super().__init__()
        if not 64 <= byte <= 191:
            raise ValueError(f"byte {byte} is not of a reserved label kind")
        self.byte = byte


class CutLabel(Spot):
    """A length byte whose text runs past the end of the message: the last
    bytes written."""

    def __init__(self, length, text):
        super().__init__()
        if len(text) >= length:
            raise ValueError("the text is not cut off")
        self.length = length
        self.text = bytes(text)


class End(Spot):
    """The end of the message (nothing is written for it)."""


class Beyond(Spot):
    """A pointer target `distance` bytes past the end of the message."""

    def __init__(self, distance):
        super().__init__()
        self.distance = distance


def name(labels, tail=None):
    """The head spot of a new name: `labels` (texts or part lists), then the
    root label when `tail` is None, else a pointer to the spot `tail`."""
    spot = Root() if tail is None else Pointer(tail)
    for text in reversed(labels):
        spot = Label(text if isinstance(text, list) else [text], spot)
    return spot


def wire_size(head):
    """Bytes that writing the name at `head` takes (up to its root label,
    pointer or other end), not following pointers."""
    size = 0
    spot = head
    while isinstance(spot, Label):
        size += 1 + spot.length
        spot = spot.next
    if isinstance(spot, (Root, Reserved)):
        return size + 1
    if isinstance(spot, Pointer):
        return size + 2
    if isinstance(spot, CutLabel):
        return size + 1 + len(spot.text)
    return size


class Wire:
    """A message being written, with pointers filled in by `finish`."""

    def __init__(self):
        self.data = bytearray()
        self.placed = []
        self._fixups = []
        self._finished = False

    def place(self, spot, offset=None):
        if spot.offset is not None:
            raise ValueError("a spot is written twice")
        spot.offset = len(self.data) if offset is None else offset
        self.placed.append(spot)

    def put(self, data):
        self.data += data

    def put_uint(self, value, size):
        self.data += value.to_bytes(size, "big")

    def put_pointer(self, target):
        self._fixups.append((len(self.data), target))
        self.data += b"\0\0"

    def put_name(self, head):
        """Writes the name at `head`; returns the spots written, those of
        names inside label texts included."""
        first = len(self.placed)
        spot = head
        while True:
            if isinstance(spot, End):
                break
            self.place(spot)
            if isinstance(spot, Label):
                self.data.append(spot.length)
                for part in spot.parts:
                    if isinstance(part, (bytes, bytearray)):
                        self.data += part
                    else:
                        self.put_name(part)
                spot = spot.next
            elif isinstance(spot, Root):
                self.data.append(0)
                break
            elif isinstance(spot, Pointer):
                self.put_pointer(spot.target)
                break
            elif isinstance(spot, Reserved):
                self.data.append(spot.byte)
                break
            elif isinstance(spot, CutLabel):
                self.data.append(spot.length)
                self.data += spot.text
                break
            else:
                raise TypeError(f"cannot write {type(spot).__name__}")
        return self.placed[first:]

    def finish(self):
        """The message's bytes, pointers filled in; raises when a spot was
        never written or the bytes do not hold what the spots say."""
        if self._finished:
            raise ValueError("finished twice")
        self._finished = True
        size = len(self.data)
        if size > MAX_POINTER_TARGET:
            raise ValueError(f"message of {size} bytes: pointers cannot reach its end")
        for offset, target in self._fixups:
            value = _pointer_value(target, size)
            self.data[offset:offset + 2] = (0xC000 | value).to_bytes(2, "big")
        for spot in self.placed:
            self._check(spot, size)
        return bytes(self.data)

    def _check(self, spot, size):
        at = spot.offset
        byte = self.data[at] if at < size else None
        if isinstance(spot, Root):
            ok = byte == 0
        elif isinstance(spot, Label):
            after = spot.next.offset if not isinstance(spot.next, End) else size
            ok = byte == spot.length and after == at + 1 + spot.length
        elif isinstance(spot, Pointer):
            value = int.from_bytes(self.data[at:at + 2], "big")
            ok = value == 0xC000 | _pointer_value(spot.target, size)
        elif isinstance(spot, Reserved):
            ok = byte == spot.byte
        elif isinstance(spot, CutLabel):
            ok = byte == spot.length and at + 1 + len(spot.text) == size
        else:
            ok = False
        if not ok:
            raise ValueError(f"{type(spot).__name__} at {at} does not match the bytes")


def _pointer_value(target, size):
    if isinstance(target, End):
        return size
    if isinstance(target, Beyond):
        return min(size + target.distance, MAX_POINTER_TARGET)
    if target.offset is None:
        raise ValueError(f"pointer to a {type(target).__name__} that was never written")
    return target.offset


def label_text(spot, data):
    """The text of the label at `spot` in the finished message."""
    return bytes(data[spot.offset + 1:spot.offset + 1 + spot.length])
