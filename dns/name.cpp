#include "dns/name.hpp"

#include <functional>

#include "dns/wire_format.hpp"
#include "errors/exceptions.hpp"

// A name in wire form (RFC 1035 sections 3.1 and 4.1.4) is a run of labels
// ended by the root label or by a compression pointer:
//
//     +--+--+--+--+--+--+--+--+
//     | 0  0|     LENGTH      |  ordinary label, LENGTH 1 to 63, followed
//     +--+--+--+--+--+--+--+--+  by LENGTH bytes of label text
//     |    LENGTH bytes ...   |
//     +--+--+--+--+--+--+--+--+
//
//     +--+--+--+--+--+--+--+--+
//     | 0  0  0  0  0  0  0  0|  root label: the name ends here
//     +--+--+--+--+--+--+--+--+
//
//       0  1  2  3  4  5  6  7  8  9 10 11 12 13 14 15
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     | 1  1|                OFFSET                   |  compression pointer:
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+  the rest of the name
//                                                          is at OFFSET from the
//                                                          message's first byte
//
// The kinds 01 and 10 in the top two bits are reserved and rejected.

namespace {

std::uint8_t LabelKind(Byte lengthByte) {
    return lengthByte & DNSWire::kLabelKindMask;
}

// The size of [position, end), or 0 when position is not inside
// [begin, end). The comparisons go through std::less so that a position from
// some other buffer is told apart without undefined behaviour.
std::size_t BytesFrom(const Byte* position, ConstData range) {
    const std::less<const Byte*> before;
    if (before(position, range.begin) || !before(position, range.end)) {
        return 0;
    }
    return static_cast<std::size_t>(range.end - position);
}

}  // namespace

ConstData ReadDNSCompressedName(ConstData range, ConstData& name) {
    const Byte* position = range.begin;
    const Byte* wireEnd = nullptr;
    while (wireEnd == nullptr) {
        const std::size_t remaining = range.end - position;
        if (remaining == 0) {
            throw BadDNSCompressedName();
        }
        const Byte length = *position;
        switch (LabelKind(length)) {
            case DNSWire::kOrdinaryLabelKind:
                if (length == DNSWire::kRootLabelLength) {
                    wireEnd = position + DNSWire::kLengthByteSize;
                    break;
                }
                // A name always ends in a root label or a pointer, so a label
                // whose text reaches the end of the range cannot be complete.
                if (remaining <= DNSWire::kLengthByteSize + length) {
                    throw BadDNSCompressedName();
                }
                position += DNSWire::kLengthByteSize + length;
                break;
            case DNSWire::kPointerKind:
                if (remaining < DNSWire::kPointerSize) {
                    throw BadDNSCompressedName();
                }
                wireEnd = position + DNSWire::kPointerSize;
                break;
            default:
                throw BadDNSCompressedName();
        }
    }
    name = ConstData(range.begin, wireEnd);
    return ConstData(wireEnd, range.end);
}

DNSName::DNSName(ConstData name, ConstData message) : message(message), label(name.begin) {
    const std::size_t available = BytesFrom(label, message);
    if (available == 0) {
        throw BadDNSName();
    }
    if (LabelKind(*label) == DNSWire::kPointerKind) {
        if (available < DNSWire::kPointerSize) {
            throw BadDNSName();
        }
        const std::size_t offset = ((std::size_t{label[0]} << DNSWire::kBitsPerByte) | label[1]) &
                                   DNSWire::kPointerOffsetMask;
        if (offset >= message.Size()) {
            throw BadDNSName();
        }
        // Only this one pointer is followed: a pointer found at the target
        // fails the kind test below, which also rules out a pointer to itself.
        label = message.begin + offset;
    }
    const Byte length = *label;
    if (LabelKind(length) != DNSWire::kOrdinaryLabelKind) {
        throw BadDNSName();
    }
    if (std::size_t{length} >= static_cast<std::size_t>(message.end - label)) {
        throw BadDNSName();
    }
}

bool DNSName::IsRoot() const {
    return *label == DNSWire::kRootLabelLength;
}

ConstData DNSName::Label() const {
    const Byte* text = label + DNSWire::kLengthByteSize;
    return ConstData(text, text + *label);
}

DNSName DNSName::Next() const {
    return DNSName(ConstData(Label().end, message.end), message);
}

std::string DNSNameToText(DNSName cursor) {
    if (cursor.IsRoot()) {
        return ".";
    }
    std::string text;
    std::size_t labelCount = 0;
    while (!cursor.IsRoot()) {
        // Every compression loop through labels ends here.
        if (labelCount == DNSWire::kMaxLabelsPerName) {
            throw BadDNSName();
        }
        ++labelCount;
        const ConstData label = cursor.Label();
        text.append(reinterpret_cast<const char*>(label.begin), label.Size());
        text.push_back('.');
        cursor = cursor.Next();
    }
    return text;
}
