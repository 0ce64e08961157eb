// Domain names inside a DNS message: where a name's wire form ends, a cursor
// that walks its labels with compression pointers followed, and its dotted
// text. Nothing here copies the message; names are pointers into it.
#pragma once

#include <string>

#include "data/bytes.hpp"

// Finds the end of the name that starts at range.begin, without following
// compression pointers: the wire form is a run of labels ended by the root
// label or by a 2-byte compression pointer, whose value is not checked.
// Every label must leave at least one byte after its text inside the range.
// There is no limit on the number of labels; the range bounds the walk.
//
// Returns the range from just past the wire form to range.end and sets
// `name` to the wire form itself.
// Throws BadDNSCompressedName when the range is empty, a label's text
// reaches range.end, a pointer's second byte lies outside the range, or a
// length byte is of a reserved kind (64 to 191). `name` is unchanged after
// a throw.
ConstData ReadDNSCompressedName(ConstData range, ConstData& name);

// A cursor on one label of a name inside a whole message. Copied freely; it
// owns nothing and stays valid as long as the message bytes do.
//
// Invariant: `label` points inside `message` at a length byte from 0 to 63
// whose label text also lies inside `message`.
class DNSName {
  public:
    // Puts the cursor on the name whose first byte is name.begin (the rest
    // of `name` is not used), inside the whole `message`. A compression
    // pointer there is followed once: its target must be an ordinary label,
    // not another pointer.
    // Throws BadDNSName when name.begin is outside the message, a pointer's
    // second byte is outside it, a pointer's 14-bit offset is not less than
    // the message size, the length byte reached is 64 or more (a reserved
    // kind, or a pointer reached through a pointer), or the label's text
    // would run past the end of the message.
    DNSName(ConstData name, ConstData message);

    // True on the root label, the one that ends a name.
    bool IsRoot() const;

    // The current label's text, without its length byte; empty on the root
    // label. Points into the message.
    ConstData Label() const;

    // The cursor on the label that follows this one, right after this
    // label's text; a compression pointer found there is followed. Must not
    // be called on the root label. Throws BadDNSName as the constructor
    // does, among others when this label's text ends at the last byte of
    // the message.
    DNSName Next() const;

    // The whole message, and the current label's length byte inside it.
    ConstData Message() const { return message; }
    const Byte* LabelPosition() const { return label; }

  private:
    ConstData message;
    const Byte* label;
};

// The dotted text of the name from `cursor`'s label onwards: each label's
// bytes unchanged (no escaping, no change of case) followed by a dot; "." for
// the root name. Takes time proportional to the length of the text.
// Throws BadDNSName when following the name fails (see DNSName::Next) or
// when the name reaches a 256th label, which also ends every compression
// loop. Nothing is returned after a throw.
std::string DNSNameToText(DNSName cursor);
