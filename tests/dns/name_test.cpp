#include "dns/name.hpp"
#include "tests/support/case_name.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "data/bytes.hpp"
#include "tests/dns/message_builder.hpp"
#include "tests/dns/thrown_class.hpp"

namespace {

using TestCaseNames::PrintTo;

using namespace std::string_literals;
using DNSTest::kNothingThrown;
using DNSTest::ThrownClass;
using DNSTest::WireName;

ConstData From(const ByteVector& bytes, std::size_t offset) {
    return ConstData(bytes.data() + offset, bytes.data() + bytes.size());
}

ByteVector Concatenate(std::initializer_list<ByteVector> parts) {
    ByteVector bytes;
    for (const ByteVector& part : parts) {
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return bytes;
}

// A length byte and `length` bytes of text.
ByteVector LabelOfLength(std::size_t length) {
    ByteVector bytes(1 + length, 'x');
    bytes[0] = static_cast<Byte>(length);
    return bytes;
}

std::vector<std::string> ManyLabels(std::size_t count) {
    return std::vector<std::string>(count, "a");
}

using TestCaseNames::CaseName;

// --- ReadDNSCompressedName ---------------------------------------------------------

struct WireFormCase {
    const char* name;
    ByteVector bytes;
    std::size_t nameSize;
};

const WireFormCase kWellFormedNames[] = {
    {"RootLabelAlone", {0x00}, 1},
    {"LabelThenRootWithTrailingByte",
     {
         0x03, 'a', 'b', 'c',  // label "abc"
         0x00,                 // root label
         0xFF,                 // not part of the name
     },
     5},
    {"PointerAlone", {0xC0, 0x0C}, 2},
    {"PointerWithEveryOffsetBitSet", {0xFF, 0xFF}, 2},
    {"PointerTargetNotFollowed",
     {
         0x01, 'a',   // label "a"
         0xC0, 0x05,  // pointer to offset 5, past the range
     },
     4},
    {"LabelOf63Bytes", Concatenate({LabelOfLength(63), {0x00}}), 65},
    {"NoLabelLimit", WireName::Labels(ManyLabels(300)).Bytes(), 601},
};

class ReadDNSCompressedNameFindsEnd : public testing::TestWithParam<WireFormCase> {};

TEST_P(ReadDNSCompressedNameFindsEnd, CoversTheWireFormAndReturnsTheRest) {
    const WireFormCase& test = GetParam();
    const ConstData range = ConstData::Over(test.bytes);
    ConstData name;
    const ConstData rest = ReadDNSCompressedName(range, name);
    EXPECT_EQ(name.begin, range.begin);
    EXPECT_EQ(name.Size(), test.nameSize);
    EXPECT_EQ(rest.begin, name.end);
    EXPECT_EQ(rest.end, range.end);
}

INSTANTIATE_TEST_SUITE_P(Names, ReadDNSCompressedNameFindsEnd, testing::ValuesIn(kWellFormedNames),
                         CaseName<WireFormCase>);

struct MalformedNameCase {
    const char* name;
    ByteVector bytes;
};

const MalformedNameCase kMalformedNames[] = {
    {"EmptyRange", {}},
    {"LabelTextReachingTheEnd",
     {
         0x03, 'a', 'b', 'c',  // label "abc", nothing after it
     }},
    {"LabelTextPassingTheEnd",
     {
         0x05,      // label of 5 bytes
         'a', 'b',  // only 2 of them
     }},
    {"LabelOf63BytesReachingTheEnd", LabelOfLength(63)},
    {"PointerMissingItsSecondByte", {0xC0}},
    {"LabelThenHalfAPointer",
     {
         0x01, 'a',  // label "a"
         0xC0,       // pointer, second byte missing
     }},
    {"ExtendedLabelKind",
     {
         0x40,  // length byte 64: kind 01
         0x00,  // root label
     }},
    {"ReservedLabelKind",
     {
         0x80,  // length byte 128: kind 10
         0x00,  // root label
     }},
    {"HighestReservedLengthByte",
     {
         0xBF,  // length byte 191: kind 10
         0x00,  // root label
     }},
    {"ReservedKindAfterALabel",
     {
         0x01, 'a',  // label "a"
         0x41,       // length byte 65: kind 01
         0x00,       // root label
     }},
};

class ReadDNSCompressedNameRejects : public testing::TestWithParam<MalformedNameCase> {};

TEST_P(ReadDNSCompressedNameRejects, ThrowsBadDNSCompressedNameAndLeavesNameUnchanged) {
    const MalformedNameCase& test = GetParam();
    const Byte sentinel = 0;
    ConstData name(&sentinel, &sentinel);
    EXPECT_EQ(ThrownClass([&] { ReadDNSCompressedName(ConstData::Over(test.bytes), name); }),
              "class BadDNSCompressedName");
    EXPECT_EQ(name.begin, &sentinel);
    EXPECT_EQ(name.end, &sentinel);
}

INSTANTIATE_TEST_SUITE_P(Names, ReadDNSCompressedNameRejects, testing::ValuesIn(kMalformedNames),
                         CaseName<MalformedNameCase>);

TEST(ReadDNSCompressedNameTest, IsBoundedByTheGivenRangeNotTheBuffer) {
    const ByteVector bytes = {
        0x03, 'a', 'b', 'c',  // label "abc", the range's last bytes
        0x00,                 // root label, outside the range
    };
    ConstData name;
    EXPECT_EQ(ThrownClass(
                  [&] { ReadDNSCompressedName(ConstData(bytes.data(), bytes.data() + 4), name); }),
              "class BadDNSCompressedName");
}

// --- DNSName construction ---------------------------------------------------------------

// Byte 0 is a pointer to offset 300, so the offset bits of the pointer's first
// byte matter; offset 300 & 0xFF holds a root label, so a decoder that drops
// them still lands on something that decodes.
ByteVector PointerAbove255Message() {
    ByteVector message(310, 0x00);
    message[0] = 0xC1;  // pointer, offset 0x12C = 300
    message[1] = 0x2C;
    message[300] = 0x02;  // label "hi"
    message[301] = 'h';
    message[302] = 'i';
    return message;
}

constexpr std::ptrdiff_t kRejected = -1;

struct CursorCase {
    const char* name;
    ByteVector message;
    std::size_t position;
    std::ptrdiff_t labelOffset;  // kRejected when BadDNSName is expected
};

const CursorCase kCursors[] = {
    {"OrdinaryLabel",
     {
         0x03, 'a', 'b', 'c',  // label "abc"
         0x00,                 // root label
     },
     0,
     0},
    {"RootLabelAtTheLastByte",
     {
         0x03, 'a', 'b', 'c',  // label "abc"
         0x00,                 // root label
     },
     4,
     4},
    {"LabelTextEndingAtTheLastByte",
     {
         0x03, 'a', 'b', 'c',  // label "abc", the message's last bytes
     },
     0,
     0},
    {"LabelOf63BytesEndingAtTheLastByte", LabelOfLength(63), 0, 0},
    {"PointerBackwards",
     {
         0x01, 'a',   // label "a"
         0x00,        // root label
         0xC0, 0x00,  // pointer to offset 0
     },
     3,
     0},
    {"PointerForwards",
     {
         0xC0, 0x02,  // pointer to offset 2
         0x01, 'z',   // label "z"
         0x00,        // root label
     },
     0,
     2},
    {"PointerToRootLabelAtTheLastByte",
     {
         0xC0, 0x02,  // pointer to offset 2
         0x00,        // root label
     },
     0,
     2},
    {"PointerIntoTheHeader",
     {
         0x12, 0x34,  // ID
         0x81, 0x80,  // flags
         0x00, 0x00,  // QDCOUNT: its first byte reads as a root label
         0x00, 0x01,  // ANCOUNT
         0x00, 0x00,  // NSCOUNT
         0x00, 0x00,  // ARCOUNT
         0xC0, 0x04,  // pointer to offset 4
     },
     12,
     4},
    {"PointerOffsetAbove255", PointerAbove255Message(), 0, 300},
    {"PointerToLabelLengthAtTheLastByte",
     {
         0xC0, 0x02,  // pointer to offset 2
         0x01,        // label of 1 byte, its text outside
     },
     0,
     kRejected},
    {"PointerTargetEqualToMessageSize",
     {
         0xC0, 0x02,  // pointer to offset 2, the message size
     },
     0,
     kRejected},
    {"PointerWithEveryOffsetBitSet",
     {
         0xFF, 0xFF,  // pointer to offset 16383
         0x00,        // root label
     },
     0,
     kRejected},
    {"PointerToAPointer",
     {
         0x00,        // root label
         0xC0, 0x03,  // pointer to offset 3
         0xC0, 0x00,  // pointer to offset 0
     },
     1,
     kRejected},
    {"PointerToItself",
     {
         0x00,        // root label
         0xC0, 0x01,  // pointer to offset 1, itself
     },
     1,
     kRejected},
    {"PointerAtTheLastByte",
     {
         0x00,  // root label
         0xC0,  // pointer, second byte missing
     },
     1,
     kRejected},
    {"PositionAtTheMessageEnd",
     {
         0x00,  // root label; the name starts after it
     },
     1,
     kRejected},
    {"ExtendedLabelKind",
     {
         0x40,  // length byte 64: kind 01
         0x00,  // root label
     },
     0,
     kRejected},
    {"ReservedLabelKind",
     {
         0x80,  // length byte 128: kind 10
         0x00,  // root label
     },
     0,
     kRejected},
    {"HighestReservedLengthByte",
     {
         0xBF,  // length byte 191: kind 10
         0x00,  // root label
     },
     0,
     kRejected},
    {"PointerToAReservedKind",
     {
         0xC0, 0x02,  // pointer to offset 2
         0x80,        // length byte 128: kind 10
         0x00,        // root label
     },
     0,
     kRejected},
    {"LabelTextPastTheEnd",
     {
         0x03,      // label of 3 bytes
         'a', 'b',  // only 2 of them
     },
     0,
     kRejected},
};

class DNSNameConstruction : public testing::TestWithParam<CursorCase> {};

TEST_P(DNSNameConstruction, LandsOnTheLabelOrThrowsBadDNSName) {
    const CursorCase& test = GetParam();
    const ConstData message = ConstData::Over(test.message);
    const ConstData name = From(test.message, test.position);
    if (test.labelOffset == kRejected) {
        EXPECT_EQ(ThrownClass([&] { DNSName(name, message); }), "class BadDNSName");
        return;
    }
    const DNSName cursor(name, message);
    EXPECT_EQ(cursor.LabelPosition() - message.begin, test.labelOffset);
    EXPECT_EQ(cursor.Message().begin, message.begin);
    EXPECT_EQ(cursor.Message().end, message.end);
}

INSTANTIATE_TEST_SUITE_P(Cursors, DNSNameConstruction, testing::ValuesIn(kCursors),
                         CaseName<CursorCase>);

TEST(DNSNameTest, RejectsAnEmptyMessage) {
    EXPECT_EQ(ThrownClass([] { DNSName(ConstData(), ConstData()); }), "class BadDNSName");
}

TEST(DNSNameTest, RejectsANameBeforeTheMessage) {
    const ByteVector bytes = {0x00, 0x00, 0x00};
    const ConstData message(bytes.data() + 1, bytes.data() + bytes.size());
    EXPECT_EQ(ThrownClass([&] { DNSName(ConstData::Over(bytes), message); }), "class BadDNSName");
}

TEST(DNSNameTest, LabelIsTheTextAfterTheLengthByte) {
    const ByteVector message = {
        0x04, 'e', 'a', 's', 't',  // label "east"
        0x00,                      // root label
    };
    const DNSName cursor(ConstData::Over(message), ConstData::Over(message));
    EXPECT_FALSE(cursor.IsRoot());
    EXPECT_EQ(cursor.Label().begin, message.data() + 1);
    EXPECT_EQ(cursor.Label().end, message.data() + 5);

    const DNSName root = cursor.Next();
    EXPECT_TRUE(root.IsRoot());
    EXPECT_TRUE(root.Label().Empty());
    EXPECT_EQ(root.Label().begin, message.data() + 6);
}

TEST(DNSNameTest, NextFollowsAPointerAfterALabel) {
    const ByteVector message = {
        0x04, 'e',  'a', 's', 't',  // 0: label "east"
        0x00,                       // 5: root label
        0x01, 'a',                  // 6: label "a"
        0xC0, 0x00,                 // 8: pointer to offset 0
    };
    const DNSName first(From(message, 6), ConstData::Over(message));
    const DNSName second = first.Next();
    EXPECT_EQ(second.LabelPosition(), message.data());
    EXPECT_TRUE(second.Next().IsRoot());
}

TEST(DNSNameTest, NextThrowsWhenTheLabelTextEndsAtTheLastByte) {
    const ByteVector message = {
        0xC0, 0x02,            // pointer to offset 2
        0x03, 'a',  'b', 'c',  // label "abc", no root label after it
    };
    const DNSName cursor(ConstData::Over(message), ConstData::Over(message));
    EXPECT_EQ(ThrownClass([&] { cursor.Next(); }), "class BadDNSName");
}

// --- DNSNameToText ------------------------------------------------------------------------

// "east.relays." at offset 0, then "a" and a pointer to it at offset 13.
const ByteVector kCompressedMessage = {
    0x04, 'e',  'a', 's', 't',            // 0: label "east"
    0x06, 'r',  'e', 'l', 'a', 'y', 's',  // 5: label "relays"
    0x00,                                 // 12: root label
    0x01, 'a',                            // 13: label "a"
    0xC0, 0x00,                           // 15: pointer to offset 0
};

// A name of `second` labels at offset 0, then one of `first` labels and a
// pointer to it.
ByteVector LabelsAcrossAPointer(std::size_t first, std::size_t second) {
    return Concatenate({WireName::Labels(ManyLabels(second)).Bytes(),
                        WireName::LabelsThenPointer(ManyLabels(first), 0).Bytes()});
}

std::string RepeatedText(const std::string& label, std::size_t count) {
    std::string text;
    for (std::size_t index = 0; index < count; ++index) {
        text += label + ".";
    }
    return text;
}

struct TextCase {
    const char* name;
    ByteVector message;
    std::size_t position;
    std::string text;  // when nothing is thrown
    const char* thrown;
};

const TextCase kTexts[] = {
    {"RootName", {0x00}, 0, ".", kNothingThrown},
    {"TwoLabels", kCompressedMessage, 0, "east.relays.", kNothingThrown},
    {"FromTheSecondLabel", kCompressedMessage, 5, "relays.", kNothingThrown},
    {"LabelThenPointer", kCompressedMessage, 13, "a.east.relays.", kNothingThrown},
    {"PointerAtTheStart", kCompressedMessage, 15, "east.relays.", kNothingThrown},
    {"LabelHoldingADotAndAZeroByte",
     {
         0x03, 'a', '.', 0x00,  // label "a.\0"
         0x00,                  // root label
     },
     0,
     "a.\0."s,
     kNothingThrown},
    {"BytesCopiedWithoutChangeOfCase",
     {
         0x02, 'A', 0xFF,  // label "A\xFF"
         0x00,             // root label
     },
     0,
     "A\xFF.",
     kNothingThrown},
    {"LabelOf63Bytes", Concatenate({LabelOfLength(63), {0x00}}), 0, std::string(63, 'x') + ".",
     kNothingThrown},
    {"MostLabels", WireName::Labels(ManyLabels(255)).Bytes(), 0, RepeatedText("a", 255),
     kNothingThrown},
    {"MostLabelsAcrossAPointer", LabelsAcrossAPointer(128, 127), 255, RepeatedText("a", 255),
     kNothingThrown},
    {"OneLabelTooMany", WireName::Labels(ManyLabels(256)).Bytes(), 0, "", "class BadDNSName"},
    {"OneLabelTooManyAcrossAPointer", LabelsAcrossAPointer(128, 128), 257, "", "class BadDNSName"},
    {"LoopThroughALabel",
     {
         0x01, 'a',   // label "a"
         0xC0, 0x00,  // pointer back to it
     },
     0,
     "",
     "class BadDNSName"},
    {"LoopThroughALongLabel", Concatenate({LabelOfLength(63), {0xC0, 0x00}}), 0, "",
     "class BadDNSName"},
    {"PointerToItself",
     {
         0xC0, 0x00,  // pointer to offset 0, itself
     },
     0,
     "",
     "class BadDNSName"},
    {"LabelThenPointerToAPointer",
     {
         0x01, 'a',   // label "a"
         0xC0, 0x04,  // pointer to offset 4
         0xC0, 0x00,  // pointer to offset 0
     },
     0,
     "",
     "class BadDNSName"},
    {"ReservedKindAfterALabel",
     {
         0x01, 'a',  // label "a"
         0x40,       // length byte 64: kind 01
         0x00,       // root label
     },
     0,
     "",
     "class BadDNSName"},
    {"NoRootLabelBeforeTheMessageEnds",
     {
         0xC0, 0x02,      // pointer to offset 2
         0x02, 'a', 'b',  // label "ab", the message's last bytes
     },
     0,
     "",
     "class BadDNSName"},
};

class DNSNameToTextOf : public testing::TestWithParam<TextCase> {};

TEST_P(DNSNameToTextOf, GivesDottedTextOrThrows) {
    const TextCase& test = GetParam();
    std::string text;
    EXPECT_EQ(ThrownClass([&] {
                  text = DNSNameToText(
                      DNSName(From(test.message, test.position), ConstData::Over(test.message)));
              }),
              test.thrown);
    EXPECT_EQ(text, test.text);
}

INSTANTIATE_TEST_SUITE_P(Names, DNSNameToTextOf, testing::ValuesIn(kTexts), CaseName<TextCase>);

}  // namespace
