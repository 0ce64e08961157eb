// Sizes, tags and bit positions of the DNS wire format (RFC 1035 section 4,
// SRV data from RFC 2782). The decoders name every number through these.
#pragma once

#include <cstddef>
#include <cstdint>

namespace DNSWire {

// Fields are big-endian runs of octets.
inline constexpr unsigned kBitsPerByte = 8;
inline constexpr std::size_t kField16Size = 2;
inline constexpr std::size_t kField32Size = 4;

// Fixed parts of the items of a message.
// ID, flags, QDCOUNT, ANCOUNT, NSCOUNT, ARCOUNT.
inline constexpr std::size_t kHeaderSize = 6 * kField16Size;
// TYPE, CLASS after a question's name.
inline constexpr std::size_t kQuestionFixedSize = 2 * kField16Size;
// TYPE, CLASS, TTL, RDLENGTH after a record's owner name.
inline constexpr std::size_t kRecordFixedSize = 3 * kField16Size + kField32Size;
// PRIORITY, WEIGHT, PORT before the SRV target name.
inline constexpr std::size_t kServiceRecordFixedSize = 3 * kField16Size;

static_assert(kHeaderSize == 12);
static_assert(kQuestionFixedSize == 4);
static_assert(kRecordFixedSize == 10);
static_assert(kServiceRecordFixedSize == 6);

// Record TYPE and CLASS values the tool cares about.
inline constexpr std::uint16_t kTypeSRV = 33;
inline constexpr std::uint16_t kClassIN = 1;

// A name's length byte: its top two bits say what kind of item it starts.
inline constexpr std::uint8_t kLabelKindMask = 0xC0;
// 00: an ordinary label of 0 to 63 bytes; 0 is the root label.
inline constexpr std::uint8_t kOrdinaryLabelKind = 0x00;
// 01: the extended label types of RFC 2673, never deployed; rejected.
inline constexpr std::uint8_t kExtendedLabelKind = 0x40;
// 10: unallocated; rejected.
inline constexpr std::uint8_t kReservedLabelKind = 0x80;
// 11: a compression pointer, 2 bytes, the low 14 bits an offset from the
// first byte of the message.
inline constexpr std::uint8_t kPointerKind = 0xC0;

// Every label, the root label too, starts with one length byte.
inline constexpr std::size_t kLengthByteSize = 1;
inline constexpr std::uint8_t kRootLabelLength = 0;
inline constexpr std::uint8_t kMaxLabelLength = 63;
inline constexpr std::size_t kPointerSize = kField16Size;
inline constexpr std::uint16_t kPointerOffsetMask = 0x3FFF;

static_assert(kMaxLabelLength == static_cast<std::uint8_t>(~kLabelKindMask));
static_assert(kPointerOffsetMask == static_cast<std::uint16_t>(~(kPointerKind << 8)));

// Labels of one name, root label not counted. Bounds the label walk, so a
// compression loop ends instead of running forever.
inline constexpr std::size_t kMaxLabelsPerName = 255;

// The flags word; bit 15 is the top bit of the first flags byte.
inline constexpr unsigned kReplyBit = 15;              // QR
inline constexpr unsigned kOpcodeShift = 11;           // OPCODE, bits 14 to 11
inline constexpr unsigned kOpcodeMask = 0x0F;          // after the shift
inline constexpr unsigned kAuthoritativeBit = 10;      // AA
inline constexpr unsigned kTruncatedBit = 9;           // TC
inline constexpr unsigned kRecursionDesiredBit = 8;    // RD
inline constexpr unsigned kRecursionAvailableBit = 7;  // RA
// Bits 6 to 4 are reserved (Z, AD, CD) and not kept.
inline constexpr unsigned kRcodeShift = 0;  // RCODE, bits 3 to 0
inline constexpr unsigned kRcodeMask = 0x0F;

}  // namespace DNSWire
