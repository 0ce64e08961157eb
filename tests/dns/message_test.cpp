#include "dns/message.hpp"
#include "tests/support/case_name.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/bytes.hpp"
#include "dns/name.hpp"
#include "dns/wire_format.hpp"
#include "tests/dns/message_builder.hpp"
#include "tests/dns/thrown_class.hpp"

namespace {

using TestCaseNames::PrintTo;

using DNSTest::MessageBuilder;
using DNSTest::Section;
using DNSTest::ServiceRecordData;
using DNSTest::ThrownClass;
using DNSTest::WireName;

constexpr std::uint16_t kTypeA = 1;
constexpr std::uint16_t kClassCH = 3;

ConstData From(const ByteVector& bytes, std::size_t offset) {
    return ConstData(bytes.data() + offset, bytes.data() + bytes.size());
}

ByteVector BytesOf(ConstData data) {
    return ByteVector(data.begin, data.end);
}

using TestCaseNames::CaseName;

// --- Big-endian fields -------------------------------------------------------------

struct FieldCase {
    const char* name;
    ByteVector bytes;
    std::uint32_t value;
};

class ReadBigEndian16Of : public testing::TestWithParam<FieldCase> {};

TEST_P(ReadBigEndian16Of, ReadsUnsignedValueAndAdvancesTwoBytes) {
    const ConstData data = ConstData::Over(GetParam().bytes);
    std::uint16_t value = 0;
    const ConstData rest = ReadBigEndian16(data, value);
    EXPECT_EQ(value, GetParam().value);
    EXPECT_EQ(rest.begin, data.begin + 2);
    EXPECT_EQ(rest.end, data.end);
}

INSTANTIATE_TEST_SUITE_P(Fields, ReadBigEndian16Of,
                         testing::Values(FieldCase{"Ordinary", {0x12, 0x34}, 4660},
                                         FieldCase{"HighBitsNotSignExtended", {0xFF, 0xFE}, 65534},
                                         FieldCase{"TrailingByteLeft", {0x00, 0x01, 0xFF}, 1}),
                         CaseName<FieldCase>);

class ReadBigEndian32Of : public testing::TestWithParam<FieldCase> {};

TEST_P(ReadBigEndian32Of, ReadsUnsignedValueAndAdvancesFourBytes) {
    const ConstData data = ConstData::Over(GetParam().bytes);
    std::uint32_t value = 0;
    const ConstData rest = ReadBigEndian32(data, value);
    EXPECT_EQ(value, GetParam().value);
    EXPECT_EQ(rest.begin, data.begin + 4);
    EXPECT_EQ(rest.end, data.end);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ReadBigEndian32Of,
    testing::Values(FieldCase{"TopAndBottomBits", {0x80, 0x00, 0x00, 0x01}, 2147483649u},
                    FieldCase{"ByteOrder", {0x01, 0x02, 0x03, 0x04}, 0x01020304u},
                    FieldCase{"AllBitsSet", {0xFF, 0xFF, 0xFF, 0xFF}, 4294967295u}),
    CaseName<FieldCase>);

TEST(ReadBigEndianTest, ThrowsConstDataTooSmallAndLeavesTheValueUnchanged) {
    const ByteVector bytes = {0x12, 0x34, 0x56};
    for (std::size_t size = 0; size < 2; ++size) {
        std::uint16_t value = 7;
        EXPECT_EQ(ThrownClass([&] {
                      ReadBigEndian16(ConstData(bytes.data(), bytes.data() + size), value);
                  }),
                  "class ConstDataTooSmall")
            << size << " bytes";
        EXPECT_EQ(value, 7);
    }
    for (std::size_t size = 0; size < 4; ++size) {
        std::uint32_t value = 7;
        EXPECT_EQ(ThrownClass([&] {
                      ReadBigEndian32(ConstData(bytes.data(), bytes.data() + size), value);
                  }),
                  "class ConstDataTooSmall")
            << size << " bytes";
        EXPECT_EQ(value, 7u);
    }
}

// --- Header ----------------------------------------------------------------------------

TEST(ReadDNSMessageHeaderTest, DecodesEveryFieldAndReturnsWhatFollows) {
    ByteVector message = MessageBuilder()
                             .Id(0xBEEF)
                             .Counts(1, 2, 3, 0xFFFF)
                             .Raw({0xAA})  // the first byte after the header
                             .Build();
    DNSMessageHeader header;
    const ConstData rest = ReadDNSMessageHeader(ConstData::Over(message), header);
    EXPECT_EQ(header.id, 0xBEEF);
    EXPECT_EQ(header.questionCount, 1);
    EXPECT_EQ(header.answerCount, 2);
    EXPECT_EQ(header.authorityCount, 3);
    EXPECT_EQ(header.additionalCount, 0xFFFF);
    EXPECT_EQ(rest.begin, message.data() + DNSWire::kHeaderSize);
    EXPECT_EQ(rest.end, message.data() + message.size());
}

TEST(ReadDNSMessageHeaderTest, ReturnsAnEmptyRangeAfterExactlyTwelveBytes) {
    const ByteVector message = MessageBuilder().Build();
    ASSERT_EQ(message.size(), 12u);
    DNSMessageHeader header;
    const ConstData rest = ReadDNSMessageHeader(ConstData::Over(message), header);
    EXPECT_TRUE(rest.Empty());
    EXPECT_EQ(rest.begin, message.data() + message.size());
    EXPECT_TRUE(header.qr);
}

struct FlagsCase {
    const char* name;
    Byte high;
    Byte low;
    DNSMessageHeader expected;
};

DNSMessageHeader Flags(bool qr, std::uint8_t opcode, bool aa, bool tc, bool rd, bool ra,
                       std::uint8_t rcode) {
    DNSMessageHeader header;
    header.qr = qr;
    header.opcode = opcode;
    header.aa = aa;
    header.tc = tc;
    header.rd = rd;
    header.ra = ra;
    header.rcode = rcode;
    return header;
}

class ReadDNSMessageHeaderFlags : public testing::TestWithParam<FlagsCase> {};

TEST_P(ReadDNSMessageHeaderFlags, SplitsTheFlagsWord) {
    const FlagsCase& test = GetParam();
    const ByteVector message = {
        0x00,      0x00,      // ID
        test.high, test.low,  // flags
        0x00,      0x00,      // QDCOUNT
        0x00,      0x00,      // ANCOUNT
        0x00,      0x00,      // NSCOUNT
        0x00,      0x00,      // ARCOUNT
    };
    DNSMessageHeader header;
    ReadDNSMessageHeader(ConstData::Over(message), header);
    EXPECT_EQ(header.qr, test.expected.qr);
    EXPECT_EQ(header.opcode, test.expected.opcode);
    EXPECT_EQ(header.aa, test.expected.aa);
    EXPECT_EQ(header.tc, test.expected.tc);
    EXPECT_EQ(header.rd, test.expected.rd);
    EXPECT_EQ(header.ra, test.expected.ra);
    EXPECT_EQ(header.rcode, test.expected.rcode);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, ReadDNSMessageHeaderFlags,
    testing::Values(
        FlagsCase{"OrdinaryReply", 0x81, 0x80, Flags(true, 0, false, false, true, true, 0)},
        FlagsCase{"HighestOpcodeReservedBitsDropped", 0x78, 0x70,
                  Flags(false, 15, false, false, false, false, 0)},
        FlagsCase{"AuthoritativeAlone", 0x04, 0x00, Flags(false, 0, true, false, false, false, 0)},
        FlagsCase{"TruncatedAlone", 0x02, 0x00, Flags(false, 0, false, true, false, false, 0)},
        FlagsCase{"NameErrorReply", 0x80, 0x03, Flags(true, 0, false, false, false, false, 3)},
        FlagsCase{"HighestRcode", 0x00, 0x0F, Flags(false, 0, false, false, false, false, 15)},
        FlagsCase{"EveryBitSet", 0xFF, 0xFF, Flags(true, 15, true, true, true, true, 15)}),
    CaseName<FlagsCase>);

TEST(ReadDNSMessageHeaderTest, ThrowsBadDNSMessageHeaderBeforeTwelveBytes) {
    const ByteVector message = MessageBuilder().Id(0x1234).Build();
    for (const ConstData data : {ConstData(message.data(), message.data() + 11), ConstData()}) {
        DNSMessageHeader header;
        header.id = 7;
        EXPECT_EQ(ThrownClass([&] { ReadDNSMessageHeader(data, header); }),
                  "class BadDNSMessageHeader")
            << data.Size() << " bytes";
        EXPECT_EQ(header.id, 7);
    }
}

// --- Questions -----------------------------------------------------------------------

TEST(ReadDNSQuestionTest, DecodesNameTypeAndClass) {
    const ByteVector message = MessageBuilder()
                                   .Question(WireName::Labels({"_relay", "_tcp"}), kTypeA, kClassCH)
                                   .Raw({0xAA})
                                   .Build();
    DNSQuestion question;
    const ConstData rest = ReadDNSQuestion(From(message, DNSWire::kHeaderSize), question);
    EXPECT_EQ(BytesOf(question.name), WireName::Labels({"_relay", "_tcp"}).Bytes());
    EXPECT_EQ(question.name.begin, message.data() + DNSWire::kHeaderSize);
    EXPECT_EQ(question.type, kTypeA);
    EXPECT_EQ(question.recordClass, kClassCH);
    EXPECT_EQ(BytesOf(rest), ByteVector{0xAA});
    EXPECT_EQ(rest.end, message.data() + message.size());
}

TEST(ReadDNSQuestionTest, NameAsAPointerCoversTwoBytesAndFourBytesAfterItSuffice) {
    const ByteVector entry = {
        0xC0, 0x0C,  // pointer to offset 12
        0x00, 0x21,  // QTYPE SRV
        0x00, 0x01,  // QCLASS IN
    };
    DNSQuestion question;
    const ConstData rest = ReadDNSQuestion(ConstData::Over(entry), question);
    EXPECT_EQ(question.name.Size(), 2u);
    EXPECT_EQ(question.type, DNSWire::kTypeSRV);
    EXPECT_EQ(question.recordClass, DNSWire::kClassIN);
    EXPECT_TRUE(rest.Empty());
    EXPECT_EQ(rest.begin, entry.data() + entry.size());
}

struct MalformedCase {
    const char* name;
    ByteVector bytes;
    const char* thrown;
};

const MalformedCase kMalformedQuestions[] = {
    {"ThreeBytesAfterTheName",
     {
         0x00,        // root name
         0x00, 0x21,  // QTYPE
         0x00,        // half a QCLASS
     },
     "class BadDNSQuestion"},
    {"NothingAfterTheName",
     {
         0x01, 'a',  // label "a"
         0x00,       // root label
     },
     "class BadDNSQuestion"},
    {"ReservedKindInTheName",
     {
         0x40,        // length byte 64: kind 01
         0x00, 0x21,  // QTYPE
         0x00, 0x01,  // QCLASS
     },
     "class BadDNSCompressedName"},
    {"NoBytesAtAll", {}, "class BadDNSCompressedName"},
};

class ReadDNSQuestionRejects : public testing::TestWithParam<MalformedCase> {};

TEST_P(ReadDNSQuestionRejects, ThrowsTheClassOfTheFault) {
    DNSQuestion question;
    EXPECT_EQ(ThrownClass([&] { ReadDNSQuestion(ConstData::Over(GetParam().bytes), question); }),
              GetParam().thrown);
}

INSTANTIATE_TEST_SUITE_P(Questions, ReadDNSQuestionRejects, testing::ValuesIn(kMalformedQuestions),
                         CaseName<MalformedCase>);

// --- Resource records -------------------------------------------------------------

TEST(ReadDNSRecordTest, DecodesEveryFieldAndLeavesTheRdataUnread) {
    const ByteVector rdata = {0xFF, 0x00, 0xC0};  // not valid SRV data: not looked into
    const ByteVector message = MessageBuilder()
                                   .Record(Section::Answer, WireName::Labels({"east"}),
                                           DNSWire::kTypeSRV, DNSWire::kClassIN, 0xFFFFFFFF, rdata)
                                   .Raw({0xAA})
                                   .Build();
    DNSRecord record;
    const ConstData rest = ReadDNSRecord(From(message, DNSWire::kHeaderSize), record);
    EXPECT_EQ(BytesOf(record.name), WireName::Labels({"east"}).Bytes());
    EXPECT_EQ(record.type, DNSWire::kTypeSRV);
    EXPECT_EQ(record.recordClass, DNSWire::kClassIN);
    EXPECT_EQ(record.ttl, 4294967295u);
    EXPECT_EQ(BytesOf(record.rdata), rdata);
    EXPECT_EQ(rest.begin, record.rdata.end);
    EXPECT_EQ(BytesOf(rest), ByteVector{0xAA});
}

TEST(ReadDNSRecordTest, AcceptsRdataThatEndsTheRange) {
    const ByteVector recordBytes = {
        0x00,                    // root name
        0x00, 0x01,              // TYPE A
        0x00, 0x01,              // CLASS IN
        0x00, 0x00, 0x0E, 0x10,  // TTL 3600
        0x00, 0x04,              // RDLENGTH 4, exactly the bytes left
        10,   0,    0,    1,     // RDATA
    };
    DNSRecord record;
    const ConstData rest = ReadDNSRecord(ConstData::Over(recordBytes), record);
    EXPECT_EQ(record.ttl, 3600u);
    EXPECT_EQ(record.rdata.Size(), 4u);
    EXPECT_TRUE(rest.Empty());
    EXPECT_EQ(rest.begin, recordBytes.data() + recordBytes.size());
}

TEST(ReadDNSRecordTest, AcceptsEmptyRdata) {
    const ByteVector recordBytes = {
        0xC0, 0x0C,              // pointer to offset 12
        0x00, 0x21,              // TYPE SRV
        0x00, 0x01,              // CLASS IN
        0x00, 0x00, 0x00, 0x00,  // TTL 0
        0x00, 0x00,              // RDLENGTH 0
        0xAA,                    // the next record
    };
    DNSRecord record;
    const ConstData rest = ReadDNSRecord(ConstData::Over(recordBytes), record);
    EXPECT_EQ(record.name.Size(), 2u);
    EXPECT_TRUE(record.rdata.Empty());
    EXPECT_EQ(record.rdata.begin, recordBytes.data() + 12);
    EXPECT_EQ(rest.begin, recordBytes.data() + 12);
}

const MalformedCase kMalformedRecords[] = {
    {"NineBytesAfterTheName",
     {
         0x00,                    // root name
         0x00, 0x21,              // TYPE SRV
         0x00, 0x01,              // CLASS IN
         0x00, 0x00, 0x00, 0x00,  // TTL
         0x00,                    // half an RDLENGTH
     },
     "class BadDNSRecord"},
    {"RdlengthOnePastTheEnd",
     {
         0x00,                    // root name
         0x00, 0x01,              // TYPE A
         0x00, 0x01,              // CLASS IN
         0x00, 0x00, 0x00, 0x00,  // TTL
         0x00, 0x05,              // RDLENGTH 5
         10, 0, 0, 1,             // only 4 bytes left
     },
     "class BadDNSRecord"},
    {"LargestRdlength",
     {
         0x00,                    // root name
         0x00, 0x01,              // TYPE A
         0x00, 0x01,              // CLASS IN
         0x00, 0x00, 0x00, 0x00,  // TTL
         0xFF, 0xFF,              // RDLENGTH 65535
         0x00,                    // only 1 byte left
     },
     "class BadDNSRecord"},
    {"NameRunningOffTheEnd",
     {
         0x05,      // label of 5 bytes
         'a', 'b',  // only 2 of them
     },
     "class BadDNSCompressedName"},
    {"NoBytesAtAll", {}, "class BadDNSCompressedName"},
};

class ReadDNSRecordRejects : public testing::TestWithParam<MalformedCase> {};

TEST_P(ReadDNSRecordRejects, ThrowsTheClassOfTheFault) {
    DNSRecord record;
    EXPECT_EQ(ThrownClass([&] { ReadDNSRecord(ConstData::Over(GetParam().bytes), record); }),
              GetParam().thrown);
}

INSTANTIATE_TEST_SUITE_P(Records, ReadDNSRecordRejects, testing::ValuesIn(kMalformedRecords),
                         CaseName<MalformedCase>);

// --- SRV data --------------------------------------------------------------------------

TEST(ReadDNSServiceRecordDataTest, DecodesFieldsAndTargetAndLeavesTrailingBytes) {
    ByteVector rdata = ServiceRecordData(10, 5, 700, WireName::Labels({"relay1", "corp"}));
    rdata.push_back(0xAA);  // after the target: ignored by the caller
    DNSServiceRecordData service;
    const ConstData rest = ReadDNSServiceRecordData(ConstData::Over(rdata), service);
    EXPECT_EQ(service.priority, 10);
    EXPECT_EQ(service.weight, 5);
    EXPECT_EQ(service.port, 700);
    EXPECT_EQ(BytesOf(service.target), WireName::Labels({"relay1", "corp"}).Bytes());
    EXPECT_EQ(BytesOf(rest), ByteVector{0xAA});
    EXPECT_EQ(rest.end, rdata.data() + rdata.size());
}

TEST(ReadDNSServiceRecordDataTest, SevenBytesEndingInZeroGiveTheRootTarget) {
    const ByteVector rdata = {
        0x00, 0x00,  // PRIORITY 0
        0x00, 0x00,  // WEIGHT 0
        0xFF, 0xFF,  // PORT 65535
        0x00,        // target: root name
    };
    DNSServiceRecordData service;
    const ConstData rest = ReadDNSServiceRecordData(ConstData::Over(rdata), service);
    EXPECT_EQ(service.port, 65535);
    EXPECT_EQ(service.target.begin, rdata.data() + 6);
    EXPECT_EQ(service.target.Size(), 1u);
    EXPECT_TRUE(rest.Empty());
}

TEST(ReadDNSServiceRecordDataTest, TargetPointerCoversTwoBytesAndLeadsElsewhere) {
    MessageBuilder builder;
    builder.Question(WireName::Labels({"relay1", "corp"}));
    const std::size_t targetOffset = DNSWire::kHeaderSize;
    const ByteVector message =
        builder
            .ServiceRecord(Section::Answer, WireName::Labels({"east", "relays"}), 1, 2, 3,
                           WireName::Pointer(static_cast<std::uint16_t>(targetOffset)))
            .Build();
    ConstData position = From(message, DNSWire::kHeaderSize);
    DNSQuestion question;
    position = ReadDNSQuestion(position, question);
    DNSRecord record;
    ReadDNSRecord(position, record);

    DNSServiceRecordData service;
    ReadDNSServiceRecordData(record.rdata, service);
    EXPECT_EQ(service.target.Size(), 2u);
    EXPECT_EQ(service.target.end, record.rdata.end);
    EXPECT_EQ(DNSNameToText(DNSName(service.target, ConstData::Over(message))), "relay1.corp.");
}

struct ServiceCase {
    const char* name;
    ByteVector bytes;
    std::size_t rdataSize;  // the RDATA is the first rdataSize bytes
    const char* thrown;
};

const ServiceCase kMalformedServiceData[] = {
    {"EmptyRdata",
     {
         0x00,  // outside the RDATA
     },
     0,
     "class BadDNSServiceRecordData"},
    {"FiveBytes",
     {
         0x00, 0x0A,  // PRIORITY
         0x00, 0x05,  // WEIGHT
         0x02,        // half a PORT
         0xBC,        // outside the RDATA
     },
     5,
     "class BadDNSServiceRecordData"},
    {"SixBytesLeaveNoRoomForTheTarget",
     {
         0x00, 0x0A,  // PRIORITY
         0x00, 0x05,  // WEIGHT
         0x02, 0xBC,  // PORT
         0x00,        // outside the RDATA
     },
     6,
     "class BadDNSCompressedName"},
    {"TargetEndingPastTheRdata",
     {
         0x00, 0x0A,      // PRIORITY
         0x00, 0x05,      // WEIGHT
         0x02, 0xBC,      // PORT
         0x02, 'a', 'b',  // label "ab", the RDATA's last bytes
         0x00,            // root label, outside the RDATA
     },
     9,
     "class BadDNSCompressedName"},
    {"TargetPointerCutByTheRdata",
     {
         0x00, 0x0A,  // PRIORITY
         0x00, 0x05,  // WEIGHT
         0x02, 0xBC,  // PORT
         0xC0,        // pointer, the RDATA's last byte
         0x0C,        // outside the RDATA
     },
     7,
     "class BadDNSCompressedName"},
};

class ReadDNSServiceRecordDataRejects : public testing::TestWithParam<ServiceCase> {};

TEST_P(ReadDNSServiceRecordDataRejects, ThrowsTheClassOfTheFault) {
    const ServiceCase& test = GetParam();
    DNSServiceRecordData service;
    EXPECT_EQ(ThrownClass([&] {
                  ReadDNSServiceRecordData(
                      ConstData(test.bytes.data(), test.bytes.data() + test.rdataSize), service);
              }),
              test.thrown);
}

INSTANTIATE_TEST_SUITE_P(ServiceData, ReadDNSServiceRecordDataRejects,
                         testing::ValuesIn(kMalformedServiceData), CaseName<ServiceCase>);

// --- A whole message -------------------------------------------------------------------

TEST(DNSMessageTest, WalksEverySectionInMessageOrder) {
    MessageBuilder builder;
    builder.Question(WireName::Labels({"_relay", "_tcp", "corp"}));
    const auto ownerOffset = static_cast<std::uint16_t>(builder.Offset());
    const ByteVector message =
        builder
            .Record(Section::Answer, WireName::Labels({"east", "relays"}), kTypeA,
                    DNSWire::kClassIN, 60, {10, 0, 0, 1})
            .ServiceRecord(Section::Answer, WireName::Pointer(ownerOffset), 10, 5, 700,
                           WireName::Labels({"relay1", "corp", "local"}))
            .ServiceRecord(Section::Authority, WireName::Labels({"west"}), 1, 1, 1,
                           WireName::Root(), kClassCH)
            .ServiceRecord(Section::Additional, WireName::LabelsThenPointer({"a"}, ownerOffset), 0,
                           0, 65535, WireName::Root())
            .Raw({0xAA, 0xBB})  // after the last counted record
            .Build();

    DNSMessageHeader header;
    ConstData position = ReadDNSMessageHeader(ConstData::Over(message), header);
    ASSERT_EQ(header.questionCount, 1);
    ASSERT_EQ(header.answerCount, 2);
    ASSERT_EQ(header.authorityCount, 1);
    ASSERT_EQ(header.additionalCount, 1);
    DNSQuestion question;
    position = ReadDNSQuestion(position, question);

    std::vector<std::uint16_t> types;
    std::vector<std::uint16_t> ports;
    for (int index = 0; index < 4; ++index) {
        DNSRecord record;
        position = ReadDNSRecord(position, record);
        types.push_back(record.type);
        if (record.type == DNSWire::kTypeSRV) {
            DNSServiceRecordData service;
            ReadDNSServiceRecordData(record.rdata, service);
            ports.push_back(service.port);
        }
    }
    EXPECT_EQ(types, (std::vector<std::uint16_t>{kTypeA, DNSWire::kTypeSRV, DNSWire::kTypeSRV,
                                                 DNSWire::kTypeSRV}));
    EXPECT_EQ(ports, (std::vector<std::uint16_t>{700, 1, 65535}));
    EXPECT_EQ(BytesOf(position), (ByteVector{0xAA, 0xBB}));
}

}  // namespace
