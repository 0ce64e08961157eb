"""Relay lists that are broken in one place, or sit on one side of a limit,
each with the program's exact expected output."""

import collections

from relay_lists import (
    AFTER_EAST,
    CLASS_CH,
    CLASS_IN,
    EAST,
    EAST_BLOCK,
    HEADER_SIZE,
    TYPE_A,
    TYPE_SRV,
    header,
    name,
    placed,
    question,
    record,
    relay,
    relay_block,
    service,
    service_data,
)

Case = collections.namedtuple("Case", "name message expected")

NO_DIAGNOSTIC = b"No diagnostic message available\n"
BAD_QUESTION = b"class BadDNSQuestion\n"
BAD_RECORD = b"class BadDNSRecord\n"
BAD_SERVICE_DATA = b"class BadDNSServiceRecordData\n"
BAD_COMPRESSED_NAME = b"class BadDNSCompressedName\n"
BAD_NAME = b"class BadDNSName\n"

WEST = name("west", "relays")
# TYPE SRV, CLASS IN, TTL 3600, then one byte of RDLENGTH: a record's fixed
# part less one byte.
NINE_FIXED_BYTES = bytes.fromhex("0021 0001 00000e10 00")


def after_east(*items):
    """A reply whose answer section holds EAST and then `items`."""
    return header(answers=1 + len(items)) + EAST + b"".join(items)


def ending_in(build, tail):
    """build(offset) followed by `tail`, offset being where the tail starts;
    `tail` may itself be a function of that offset."""
    offset = len(build(0))
    return build(offset) + (tail(offset) if callable(tail) else tail)


def label_of(length):
    """A one-label name whose length byte is `length`, with that many bytes."""
    return bytes([length]) + b"x" * length + b"\x00"


def failure_classes():
    """Every way the report fails that the end-to-end cases do not show."""
    cases = [
        Case(
            "query_refused_before_its_questions_are_read",
            header(flags=0, questions=1) + b"\x40",
            NO_DIAGNOSTIC,
        ),
        Case(
            "question_name_followed_by_three_bytes",
            header(questions=1) + name("relays") + bytes.fromhex("0021 00"),
            BAD_QUESTION,
        ),
        Case(
            "record_name_followed_by_nine_bytes",
            after_east(WEST + NINE_FIXED_BYTES),
            EAST_BLOCK + BAD_RECORD,
        ),
        Case(
            "rdlength_one_past_the_end",
            after_east(record(WEST, TYPE_SRV, CLASS_IN, service_data(1, 2, 3, name()), 8)),
            EAST_BLOCK + BAD_RECORD,
        ),
        Case(
            "rdlength_past_the_end_of_a_record_never_shown",
            after_east(record(name("a"), TYPE_A, CLASS_IN, bytes.fromhex("c00002"), 4)),
            EAST_BLOCK + BAD_RECORD,
        ),
        Case(
            "service_data_empty",
            after_east(record(WEST, TYPE_SRV, CLASS_IN, b"")),
            EAST_BLOCK + BAD_SERVICE_DATA,
        ),
        Case(
            "service_data_of_class_ch_never_decoded",
            header(answers=2)
            + record(name("chaos", "relays"), TYPE_SRV, CLASS_CH, bytes(5))
            + EAST,
            EAST_BLOCK,
        ),
        Case(
            # The owner pointer leads past the end, yet the short data fail first.
            "service_data_checked_before_the_owner_name_is_followed",
            after_east(record(name(pointer=0xFF), TYPE_SRV, CLASS_IN, bytes(5))),
            EAST_BLOCK + BAD_SERVICE_DATA,
        ),
        Case(
            "owner_label_text_ends_at_the_last_byte",
            after_east(b"\x04west"),
            EAST_BLOCK + BAD_COMPRESSED_NAME,
        ),
        Case(
            "owner_pointer_cut_by_the_end_of_the_message",
            after_east(b"\xc0"),
            EAST_BLOCK + BAD_COMPRESSED_NAME,
        ),
        Case(
            # The message goes on with the root label the target lacks.
            "target_runs_past_the_end_of_its_data",
            after_east(relay(WEST, b"\x04host")) + b"\x00",
            EAST_BLOCK + BAD_COMPRESSED_NAME,
        ),
        Case(
            "target_pointer_cut_by_the_end_of_its_data",
            after_east(relay(WEST, b"\xc0")) + bytes([HEADER_SIZE]),
            EAST_BLOCK + BAD_COMPRESSED_NAME,
        ),
        Case(
            "owner_pointer_to_itself",
            after_east(relay(name(pointer=AFTER_EAST), name())),
            EAST_BLOCK + BAD_NAME,
        ),
        Case(
            # The owner is a pointer to east.relays.; the target points at it.
            "target_pointer_to_a_pointer",
            after_east(relay(name(pointer=HEADER_SIZE), name(pointer=AFTER_EAST))),
            EAST_BLOCK + BAD_NAME,
        ),
        Case(
            # loop. and a pointer back to its own first byte: loop.loop.loop...
            "compression_loop_through_a_label",
            ending_in(
                lambda at: after_east(relay(WEST, name(pointer=at))),
                lambda at: name("loop", pointer=at),
            ),
            EAST_BLOCK + BAD_NAME,
        ),
        Case(
            # The owner's only label ends the message, so the label after it
            # would start past the end.
            "owner_label_before_the_end_of_the_message",
            ending_in(lambda at: after_east(relay(name(pointer=at), name())), b"\x04tail"),
            EAST_BLOCK + BAD_NAME,
        ),
        Case(
            "second_owner_label_of_a_reserved_kind",
            ending_in(lambda at: after_east(relay(name("west", pointer=at), name())), b"\x80\x00"),
            EAST_BLOCK + BAD_NAME,
        ),
        Case(
            # Owner names are followed for SRV records of class IN only.
            "a_record_whose_owner_leads_nowhere_is_passed_over",
            header(answers=2) + record(name(pointer=0x3FFF), TYPE_A, CLASS_IN, bytes(4)) + EAST,
            EAST_BLOCK,
        ),
        Case(
            # Byte 3 of the header is the low half of the flags: 0, the root.
            "owner_pointer_into_the_header",
            header(answers=1) + relay(name(pointer=3), name("hq")),
            relay_block(b"Unaffiliated", b"hq."),
        ),
    ]
    # Length bytes from 128 to 191 are of a reserved kind (64 and up: see
    # the label boundaries).
    for length in (0x80, 0xBF):
        cases.append(
            Case(
                "owner_length_byte_%d" % length,
                after_east(relay(label_of(length), name())),
                EAST_BLOCK + BAD_COMPRESSED_NAME,
            )
        )
    return cases


def every_count_at_65535():
    """All four counts at 65535 and every entry present: the walk stops after
    the 196,605th record, before one more SRV record that no count covers."""
    sections = 65535
    records = [record(name(), TYPE_A, CLASS_IN, b"")] * (3 * sections)
    records[0] = service(name("answer", "relays"), 1, 1, 1, name("h"))
    records[sections] = service(name("authority", "relays"), 1, 1, 2, name("h"))
    records[2 * sections] = service(name("additional", "relays"), 1, 1, 3, name("h"))
    records[-1] = service(name("last", "relays"), 1, 1, 4, name("h"))
    uncounted = service(name("uncounted", "relays"), 1, 1, 5, name("h"))
    message = (
        header(questions=sections, answers=sections, authorities=sections, additionals=sections)
        + question(name()) * sections
        + b"".join(records)
        + uncounted
    )
    shown = (b"answer", b"authority", b"additional", b"last")
    expected = b"".join(
        relay_block(affiliation, b"h.", port=port, priority=1, weight=1)
        for port, affiliation in enumerate(shown, start=1)
    )
    return Case("every_count_65535_all_present", message, expected)


def boundaries():
    """Both sides of every limit of a relay list."""
    cases = [
        # Labels: 63 bytes is the longest; a length byte of 64 is of a
        # reserved kind, read in place or reached through a pointer.
        Case(
            "label_of_63_bytes_through_a_pointer",
            ending_in(
                lambda at: header(answers=1) + relay(name(pointer=at), label_of(63)),
                name("y" * 63, "relays"),
            ),
            relay_block(b"y" * 63, b"x" * 63 + b"."),
        ),
        Case(
            "label_of_64_bytes_in_an_owner_name",
            after_east(relay(label_of(64), name())),
            EAST_BLOCK + BAD_COMPRESSED_NAME,
        ),
        Case(
            "label_of_64_bytes_in_a_target",
            after_east(relay(WEST, label_of(64))),
            EAST_BLOCK + BAD_COMPRESSED_NAME,
        ),
        Case(
            "label_of_64_bytes_through_a_pointer",
            ending_in(lambda at: after_east(relay(name(pointer=at), name())), label_of(64)),
            EAST_BLOCK + BAD_NAME,
        ),
        # Names: at most 255 labels, counted across pointers; their length
        # in bytes is not limited.
        Case(
            "target_of_255_labels",
            header(answers=1) + relay(WEST, name(*["a"] * 255)),
            relay_block(b"west", b"a." * 255),
        ),
        Case(
            "target_of_256_labels",
            after_east(relay(WEST, name(*["a"] * 256))),
            EAST_BLOCK + BAD_NAME,
        ),
        Case(
            "target_of_255_labels_of_63_bytes",
            header(answers=1) + relay(WEST, name(*["x" * 63] * 255)),
            relay_block(b"west", (b"x" * 63 + b".") * 255),
        ),
        Case(
            "target_of_255_labels_across_a_pointer",
            ending_in(
                lambda at: header(answers=1) + relay(WEST, name(*["b"] * 200, pointer=at)),
                name(*["c"] * 55),
            ),
            relay_block(b"west", b"b." * 200 + b"c." * 55),
        ),
        Case(
            "target_of_256_labels_across_a_pointer",
            ending_in(
                lambda at: after_east(relay(WEST, name(*["b"] * 200, pointer=at))),
                name(*["c"] * 56),
            ),
            EAST_BLOCK + BAD_NAME,
        ),
        Case(
            # Only the first two labels of an owner name are looked at.
            "owner_of_300_labels",
            header(answers=1) + relay(name(*["o"] * 300), name("h")),
            relay_block(b"o", b"h."),
        ),
        # Pointer targets: the last byte holds a whole name only if it is
        # the root label; the message size is one past the end.
        Case(
            "target_pointer_to_the_last_byte_a_root_label",
            ending_in(lambda at: header(answers=1) + relay(WEST, name(pointer=at)), b"\x00"),
            relay_block(b"west", b"."),
        ),
        Case(
            "target_pointer_to_the_last_byte_a_label_length",
            ending_in(lambda at: after_east(relay(WEST, name(pointer=at))), b"\x01"),
            EAST_BLOCK + BAD_NAME,
        ),
        Case(
            "target_pointer_to_the_message_size",
            ending_in(lambda at: after_east(relay(WEST, name(pointer=at))), b""),
            EAST_BLOCK + BAD_NAME,
        ),
        Case(
            "owner_pointer_to_the_last_byte_a_root_label",
            ending_in(lambda at: header(answers=1) + relay(name(pointer=at), name("h")), b"\x00"),
            relay_block(b"Unaffiliated", b"h."),
        ),
        # Pointer offsets use all 14 bits. Offset 261 with its high bits lost
        # would be 5, the low byte of the question count: the root label.
        Case(
            "pointer_offset_261",
            placed(header(answers=1) + relay(WEST, name(pointer=261)), 261, name("high")),
            relay_block(b"west", b"high."),
        ),
        Case(
            "pointer_offset_16383",
            placed(header(answers=1) + relay(WEST, name(pointer=0x3FFF)), 0x3FFF, name("top")),
            relay_block(b"west", b"top."),
        ),
        Case(
            "pointer_offset_16383_in_a_message_of_16383_bytes",
            placed(after_east(relay(WEST, name(pointer=0x3FFF))), 0x3FFF, b""),
            EAST_BLOCK + BAD_NAME,
        ),
        # RDLENGTH: SRV data of 6 bytes leave no room for the target (7, with
        # the root label, is an end-to-end case).
        Case(
            "service_data_of_6_bytes",
            after_east(record(WEST, TYPE_SRV, CLASS_IN, service_data(1, 2, 3, b""))),
            EAST_BLOCK + BAD_COMPRESSED_NAME,
        ),
    ]

    # Lengths with the top bit set: the record after the data is reached.
    for length in (0x8000, 0xFFFF):
        data = service_data(1, 2, 3, name()) + b"\xee" * (length - 7)
        cases.append(
            Case(
                "rdlength_%d_all_there" % length,
                header(answers=2) + record(WEST, TYPE_SRV, CLASS_IN, data) + EAST,
                relay_block(b"west", b".") + EAST_BLOCK,
            )
        )
        cases.append(
            Case(
                "rdlength_%d_one_byte_missing" % length,
                after_east(record(WEST, TYPE_SRV, CLASS_IN, data[:-1], rdata_length=length)),
                EAST_BLOCK + BAD_RECORD,
            )
        )

    # Counts: each at 65535 over a message that ends early, then all four.
    cases.append(
        Case(
            "question_count_65535_on_a_bare_header",
            header(questions=65535),
            BAD_COMPRESSED_NAME,
        )
    )
    for section in ("answers", "authorities", "additionals"):
        cases.append(
            Case(
                "%s_count_65535_over_two_records" % section,
                header(**{section: 65535}) + EAST + relay(WEST, name("h")),
                EAST_BLOCK + relay_block(b"west", b"h.") + BAD_COMPRESSED_NAME,
            )
        )
    cases.append(every_count_at_65535())
    return cases
