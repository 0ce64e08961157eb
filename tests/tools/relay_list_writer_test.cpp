#include "tools/make_relay_list/relay_list_writer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "data/bytes.hpp"
#include "dns/message.hpp"
#include "dns/name.hpp"
#include "tests/support/case_name.hpp"

namespace {

using TestCaseNames::PrintTo;

ByteVector Concatenate(std::initializer_list<ByteVector> parts) {
    ByteVector bytes;
    for (const ByteVector& part : parts) {
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return bytes;
}

ByteVector Bytes(const std::string& text) {
    return ByteVector(text.begin(), text.end());
}

// A length byte and the label's text.
ByteVector Label(const std::string& text) {
    ByteVector bytes(1 + text.size(), static_cast<Byte>(text.size()));
    std::copy(text.begin(), text.end(), bytes.begin() + 1);
    return bytes;
}

ByteVector Header(const ByteVector& message) {
    return ByteVector(message.begin(), message.begin() + 12);
}

template <typename Case>
std::string CaseName(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// The message walked with the system's own decoders, the way the relay
// report walks it.
struct DecodedMessage {
    DNSMessageHeader header;
    std::vector<DNSQuestion> questions;
    std::vector<DNSRecord> records;
};

DecodedMessage Decode(const ByteVector& message) {
    DecodedMessage decoded;
    ConstData rest = ReadDNSMessageHeader(ConstData::Over(message), decoded.header);
    decoded.questions.resize(decoded.header.questionCount);
    for (DNSQuestion& question : decoded.questions) {
        rest = ReadDNSQuestion(rest, question);
    }
    decoded.records.resize(decoded.header.answerCount + decoded.header.authorityCount +
                           decoded.header.additionalCount);
    for (DNSRecord& record : decoded.records) {
        rest = ReadDNSRecord(rest, record);
    }
    EXPECT_TRUE(rest.Empty()) << "bytes after the last record";
    return decoded;
}

std::string NameText(ConstData name, const ByteVector& message) {
    return DNSNameToText(DNSName(name, ConstData::Over(message)));
}

// --- Header --------------------------------------------------------------------------

struct HeaderCase {
    const char* name;
    const char* description;
    ByteVector header;
};

class HeaderOf : public testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderOf, HoldsTheDescribedFields) {
    EXPECT_EQ(WriteRelayList(GetParam().description), GetParam().header);
}

INSTANTIATE_TEST_SUITE_P(
    Header, HeaderOf,
    testing::Values(
        HeaderCase{"EmptyDescriptionIsAnEmptyReply",
                   "",
                   {0x00, 0x00,                          // ID
                    0x80, 0x00,                          // QR
                    0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // counts
                    0x00, 0x00}},
        HeaderCase{"FlagsLineWithoutFlagsIsAQuery",
                   "flags",
                   {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        HeaderCase{"EveryBitSet",
                   "id 65535\nflags qr aa tc rd ra z ad cd\nopcode 15\nrcode 15",
                   {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        HeaderCase{"HexIdAndNamedCodes",
                   "id 0x4e57\nflags qr rd ra\nopcode NOTIFY\nrcode NXDOMAIN",
                   {0x4E, 0x57,  // ID
                    0xA1,        // QR, OPCODE 4, RD
                    0x83,        // RA, RCODE 3
                    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        HeaderCase{"KeywordsInAnyCase",
                   "ID 7\nFlags QR Tc\nRCODE servfail",
                   {0x00, 0x07, 0x82, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        HeaderCase{"FlagAA", "flags aa", {0, 0, 0x04, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}},
        HeaderCase{"FlagTC", "flags tc", {0, 0, 0x02, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}},
        HeaderCase{"FlagRD", "flags rd", {0, 0, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}},
        HeaderCase{"FlagRA", "flags ra", {0, 0, 0x00, 0x80, 0, 0, 0, 0, 0, 0, 0, 0}},
        HeaderCase{"FlagZ", "flags z", {0, 0, 0x00, 0x40, 0, 0, 0, 0, 0, 0, 0, 0}},
        HeaderCase{"FlagAD", "flags ad", {0, 0, 0x00, 0x20, 0, 0, 0, 0, 0, 0, 0, 0}},
        HeaderCase{"FlagCD", "flags cd", {0, 0, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0, 0}},
        HeaderCase{"Opcode1", "flags\nopcode 1", {0, 0, 0x08, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}},
        HeaderCase{"Rcode1", "flags\nrcode 1", {0, 0, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}}),
    CaseName<HeaderCase>);

// --- Counts --------------------------------------------------------------------------

constexpr const char kTwoOneTwoThree[] =
    "question a. IN SRV\n"
    "question b. IN A\n"
    "answer a. 0 IN A 192.0.2.1\n"
    "authority b. 0 IN NS a.\n"
    "authority b. 0 IN NS c.\n"
    "additional a. 0 IN A 192.0.2.2\n"
    "additional c. 0 IN A 192.0.2.3\n"
    "additional a. 0 CH SRV 0 0 0 .\n";

TEST(RelayListCounts, FollowTheEntriesOfEachSection) {
    const ByteVector message = WriteRelayList(kTwoOneTwoThree);
    EXPECT_EQ(Header(message), (ByteVector{0x00, 0x00, 0x80, 0x00,  // ID, flags
                                           0x00, 0x02,              // QDCOUNT
                                           0x00, 0x01,              // ANCOUNT
                                           0x00, 0x02,              // NSCOUNT
                                           0x00, 0x03}));           // ARCOUNT
}

TEST(RelayListCounts, OverridesReplaceOnlyTheGivenCountsAndNothingElse) {
    const ByteVector computed = WriteRelayList(kTwoOneTwoThree);
    const ByteVector overridden =
        WriteRelayList(std::string(kTwoOneTwoThree) + "counts 5 - 0 65535\n");
    EXPECT_EQ(Header(overridden), (ByteVector{0x00, 0x00, 0x80, 0x00,  // ID, flags
                                              0x00, 0x05,              // QDCOUNT as given
                                              0x00, 0x01,              // ANCOUNT computed
                                              0x00, 0x00,              // NSCOUNT as given
                                              0xFF, 0xFF}));           // ARCOUNT as given
    EXPECT_EQ(ByteVector(overridden.begin() + 12, overridden.end()),
              ByteVector(computed.begin() + 12, computed.end()));
}

// --- Whole messages ----------------------------------------------------------------

constexpr const char kSmallRelayList[] =
    "id 0xBEEF\n"
    "question relays.corp. IN SRV\n"
    "answer east.relays.corp. 300 IN SRV 10 5 700 relay1.corp.\n"
    "additional relay1.corp. 300 IN A 192.0.2.1\n";

TEST(RelayListMessage, CompressesOwnersAndTargetsAgainstEarlierNames) {
    const ByteVector expected = Concatenate({
        {0xBE, 0xEF,                                       // ID
         0x80, 0x00,                                       // QR
         0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01},  // counts
        Label("relays"),                                   // offset 12
        Label("corp"),                                     // offset 19
        {0x00,                                             // root label
         0x00, 0x21, 0x00, 0x01},                          // SRV IN
        Label("east"),                                     // offset 29
        {0xC0, 0x0C,                                       // -> relays.corp. at 12
         0x00, 0x21, 0x00, 0x01,                           // SRV IN
         0x00, 0x00, 0x01, 0x2C,                           // TTL 300
         0x00, 0x0F,                                       // RDLENGTH 15
         0x00, 0x0A, 0x00, 0x05, 0x02, 0xBC},              // priority 10, weight 5, port 700
        Label("relay1"),                                   // offset 52
        {0xC0, 0x13,                                       // -> corp. at 19
         0xC0, 0x34,                                       // owner -> relay1.corp. at 52
         0x00, 0x01, 0x00, 0x01,                           // A IN
         0x00, 0x00, 0x01, 0x2C,                           // TTL 300
         0x00, 0x04,                                       // RDLENGTH 4
         0xC0, 0x00, 0x02, 0x01},                          // 192.0.2.1
    });
    EXPECT_EQ(WriteRelayList(kSmallRelayList), expected);
}

const ByteVector kSmallRelayListUncompressed = Concatenate({
    {0xBE, 0xEF, 0x80, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01},
    Label("relays"),
    Label("corp"),
    {0x00, 0x00, 0x21, 0x00, 0x01},
    Label("east"),
    Label("relays"),
    Label("corp"),
    {0x00,                                 // root label
     0x00, 0x21, 0x00, 0x01,               // SRV IN
     0x00, 0x00, 0x01, 0x2C,               // TTL 300
     0x00, 0x13,                           // RDLENGTH 19
     0x00, 0x0A, 0x00, 0x05, 0x02, 0xBC},  // priority 10, weight 5, port 700
    Label("relay1"),
    Label("corp"),
    {0x00},
    Label("relay1"),
    Label("corp"),
    {0x00,                                 // root label
     0x00, 0x01, 0x00, 0x01,               // A IN
     0x00, 0x00, 0x01, 0x2C,               // TTL 300
     0x00, 0x04, 0xC0, 0x00, 0x02, 0x01},  // RDLENGTH 4, 192.0.2.1
});

TEST(RelayListMessage, WritesEveryNameInFullWhenTheOptionTurnsCompressionOff) {
    EXPECT_EQ(WriteRelayList(kSmallRelayList, RelayListOptions{false}),
              kSmallRelayListUncompressed);
}

TEST(RelayListMessage, WritesEveryNameInFullWhenTheDescriptionTurnsCompressionOff) {
    EXPECT_EQ(WriteRelayList(std::string("compression off\n") + kSmallRelayList),
              kSmallRelayListUncompressed);
}

TEST(RelayListMessage, OptionWinsOverTheDescriptionTurningCompressionOn) {
    EXPECT_EQ(
        WriteRelayList(std::string("compression on\n") + kSmallRelayList, RelayListOptions{false}),
        kSmallRelayListUncompressed);
}

TEST(RelayListMessage, ReadsCrLfLinesCommentsAndAByteOrderMarkAlike) {
    const std::string crlf =
        "\xEF\xBB\xBF# a relay list\r\n"
        "id 0xBEEF   # the ID\r\n"
        "\r\n"
        "\tquestion relays.corp. IN SRV\r\n"
        "answer east.relays.corp. 300 IN SRV 10 5 700 relay1.corp.#no blank needed\r\n"
        "additional relay1.corp. 300 IN A 192.0.2.1";  // no line end at all
    EXPECT_EQ(WriteRelayList(crlf), WriteRelayList(kSmallRelayList));
}

// --- Compression: which earlier name a pointer goes to ----------------------------

struct CompressionCase {
    const char* name;
    const char* description;
    // The wire form of the last record's owner name, which starts the
    // message's last 11 bytes (TYPE 65280, no RDATA).
    ByteVector lastOwner;
};

class LastOwnerOf : public testing::TestWithParam<CompressionCase> {};

TEST_P(LastOwnerOf, PointsAtTheLongestMatchingSuffix) {
    const ByteVector message = WriteRelayList(GetParam().description);
    constexpr std::size_t kFixedAndEmptyData = 10;
    const std::size_t size = GetParam().lastOwner.size();
    ASSERT_GE(message.size(), 12 + size + kFixedAndEmptyData);
    const auto ownerStart = message.end() - static_cast<std::ptrdiff_t>(size + kFixedAndEmptyData);
    EXPECT_EQ(ByteVector(ownerStart, ownerStart + static_cast<std::ptrdiff_t>(size)),
              GetParam().lastOwner);
}

INSTANTIATE_TEST_SUITE_P(
    Compression, LastOwnerOf,
    testing::Values(CompressionCase{"WholeNameAgainIsOnePointer",
                                    "answer a.b.c. 0 IN 65280\n"
                                    "answer a.b.c. 0 IN 65280\n",
                                    {0xC0, 0x0C}},
                    CompressionCase{"SuffixOfAnEarlierName",
                                    "answer a.b.c. 0 IN 65280\n"
                                    "answer x.b.c. 0 IN 65280\n",
                                    {0x01, 'x', 0xC0, 0x0E}},  // b.c. starts at 12 + 2
                    CompressionCase{"LabelsOfACompressedNameCanBePointedAt",
                                    "answer b.c. 0 IN 65280\n"    // 12: 01 b 01 c 00
                                    "answer a.b.c. 0 IN 65280\n"  // 27: 01 a C0 0C
                                    "answer a.b.c. 0 IN 65280\n",
                                    {0xC0, 0x1B}},
                    CompressionCase{"LongestSuffixWins",
                                    "answer c. 0 IN 65280\n"    // 12: 01 c 00
                                    "answer b.c. 0 IN 65280\n"  // 25: 01 b C0 0C
                                    "answer a.b.c. 0 IN 65280\n",
                                    {0x01, 'a', 0xC0, 0x19}},
                    CompressionCase{"CaseMustMatch",
                                    "answer East.corp. 0 IN 65280\n"
                                    "answer east.corp. 0 IN 65280\n",
                                    {0x04, 'e', 'a', 's', 't', 0xC0, 0x11}},
                    CompressionCase{"EscapedDotIsPartOfTheLabel",
                                    "answer b.c. 0 IN 65280\n"
                                    "answer a\\.b.c. 0 IN 65280\n",
                                    {0x03, 'a', '.', 'b', 0xC0, 0x0E}},
                    CompressionCase{"RootIsNeverAPointer",
                                    "answer . 0 IN 65280\n"
                                    "answer . 0 IN 65280\n",
                                    {0x00}},
                    CompressionCase{"QuestionNamesCount",
                                    "question relays.corp. IN SRV\n"
                                    "answer corp. 0 IN 65280\n",
                                    {0xC0, 0x13}},
                    CompressionCase{"NamesInsideRecordDataCount",
                                    "answer . 0 IN CNAME www.corp.\n"  // www at 12 + 11
                                    "answer corp. 0 IN 65280\n",
                                    {0xC0, 0x1B}}),
    CaseName<CompressionCase>);

// A pointer holds a 14-bit offset: a name that starts at 0x3FFF can be
// pointed at, one that starts at 0x4000 cannot.
struct FarCase {
    const char* name;
    std::size_t firstOwnerOffset;
    ByteVector secondOwner;
};

class SecondOwnerAt : public testing::TestWithParam<FarCase> {};

TEST_P(SecondOwnerAt, IsAPointerOnlyBelowOffset0x4000) {
    // The header (12), the question (6 + 4), an owner "." (1) and TYPE to
    // RDLENGTH (10), then as much RDATA as it takes.
    const std::size_t filler = GetParam().firstOwnerOffset - 33;
    const std::string description =
        "question near. IN A\n"
        "answer . 0 IN 65280 " +
        std::string(2 * filler, '0') +
        "\n"
        "answer a. 0 IN 65280\n"
        "answer a. 0 IN 65280\n"
        "answer far.near. 0 IN 65280\n";
    const ByteVector message = WriteRelayList(description);
    ASSERT_EQ(message[GetParam().firstOwnerOffset], 0x01);  // "a." is where it should be
    const std::size_t secondOwner = GetParam().firstOwnerOffset + 3 + 10;
    const ByteVector& expected = GetParam().secondOwner;
    EXPECT_EQ(
        ByteVector(message.begin() + static_cast<std::ptrdiff_t>(secondOwner),
                   message.begin() + static_cast<std::ptrdiff_t>(secondOwner + expected.size())),
        expected);
    // An early name stays a target however far on the message has grown.
    const ByteVector lastOwner = {0x03, 'f', 'a', 'r', 0xC0, 0x0C};
    EXPECT_EQ(ByteVector(message.end() - 16, message.end() - 10), lastOwner);
}

INSTANTIATE_TEST_SUITE_P(Compression, SecondOwnerAt,
                         testing::Values(FarCase{"LastPointableOffset", 0x3FFF, {0xFF, 0xFF}},
                                         FarCase{"FirstOffsetBeyond", 0x4000, {0x01, 'a', 0x00}}),
                         CaseName<FarCase>);

// --- RDATA layouts ------------------------------------------------------------------

struct DataCase {
    const char* name;
    const char* record;  // one answer line
    ByteVector rdata;
};

class RecordDataOf : public testing::TestWithParam<DataCase> {};

TEST_P(RecordDataOf, IsLaidOutAsTheTypeWants) {
    const ByteVector message = WriteRelayList(GetParam().record);
    const DecodedMessage decoded = Decode(message);
    ASSERT_EQ(decoded.records.size(), 1u);
    const ConstData rdata = decoded.records[0].rdata;
    EXPECT_EQ(ByteVector(rdata.begin, rdata.end), GetParam().rdata);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, RecordDataOf,
    testing::Values(
        DataCase{"Srv",
                 "answer . 0 IN SRV 1 2 65535 t.",
                 {0x00, 0x01,  // priority
                  0x00, 0x02,  // weight
                  0xFF, 0xFF,  // port
                  0x01, 't', 0x00}},
        DataCase{"SrvRootTarget", "answer . 0 IN SRV 0 0 0 .", {0, 0, 0, 0, 0, 0, 0x00}},
        DataCase{"SrvHexNumbers",
                 "answer . 0 IN SRV 0x10 0X0a 0x1bb .",
                 {0x00, 0x10, 0x00, 0x0A, 0x01, 0xBB, 0x00}},
        DataCase{"SrvTargetCompressedAgainstOwner",
                 "answer east.corp. 0 IN SRV 0 0 7070 relay.corp.",
                 {0x00, 0x00, 0x00, 0x00, 0x1B, 0x9E, 0x05, 'r', 'e', 'l', 'a', 'y', 0xC0, 0x11}},
        DataCase{"A", "answer . 0 IN A 192.0.2.255", {0xC0, 0x00, 0x02, 0xFF}},
        DataCase{"AZeros", "answer . 0 IN A 0.0.0.0", {0, 0, 0, 0}},
        DataCase{"AaaaFull",
                 "answer . 0 IN AAAA 2001:db8:0:1:2:3:4:ABCD",
                 {0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 1, 0, 2, 0, 3, 0, 4, 0xAB, 0xCD}},
        DataCase{"AaaaGapInside",
                 "answer . 0 IN AAAA 2001:db8::7",
                 {0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x07}},
        DataCase{"AaaaAllZeros", "answer . 0 IN AAAA ::", ByteVector(16, 0)},
        DataCase{"AaaaGapFirst",
                 "answer . 0 IN AAAA ::1",
                 {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
        DataCase{"AaaaGapLast",
                 "answer . 0 IN AAAA fe80::",
                 {0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        DataCase{"AaaaGapForOneGroup",
                 "answer . 0 IN AAAA 1:2:3::5:6:7:8",
                 {0, 1, 0, 2, 0, 3, 0, 0, 0, 5, 0, 6, 0, 7, 0, 8}},
        DataCase{"AaaaEndingInIPv4",
                 "answer . 0 IN AAAA ::ffff:192.0.2.1",
                 {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xC0, 0x00, 0x02, 0x01}},
        DataCase{"TxtStrings", "answer . 0 IN TXT \"hello world\" plain \"\"",
                 Concatenate({Label("hello world"), Label("plain"), {0x00}})},
        DataCase{"TxtEscapes", R"(answer . 0 IN TXT "say \"hi\" \\ \# \000\255 # not a comment")",
                 Concatenate({{31},  // length
                              Bytes("say \"hi\" \\ # "),
                              {0x00, 0xFF},
                              Bytes(" # not a comment")})},
        DataCase{"Cname", "answer . 0 IN CNAME www.corp.",
                 Concatenate({Label("www"), Label("corp"), {0}})},
        DataCase{"NsCompressedAgainstOwner",
                 "answer corp. 0 IN NS ns1.corp.",
                 {0x03, 'n', 's', '1', 0xC0, 0x0C}},
        DataCase{"Ptr", "answer . 0 IN PTR host.", Concatenate({Label("host"), {0}})},
        DataCase{
            "NumberedTypeTakesHex", "answer . 0 IN 65280 01 02a0 ff", {0x01, 0x02, 0xA0, 0xFF}},
        DataCase{"NumberedTypeWithoutData", "answer . 0 IN 65280", {}},
        DataCase{"NumberedKnownTypeTakesHexToo",
                 "answer . 0 IN 33 0001 0002 03",  // a deliberately short SRV
                 {0x00, 0x01, 0x00, 0x02, 0x03}},
        DataCase{"NameEscapes",
                 R"(answer . 0 IN PTR a\.b.\000\255\#\\.)",
                 {0x03, 'a', '.', 'b', 0x04, 0x00, 0xFF, '#', '\\', 0x00}}),
    CaseName<DataCase>);

TEST(RecordDataOfTxt, TakesAStringOf255Bytes) {
    const std::string text(255, 'x');
    const ByteVector message = WriteRelayList("answer . 0 IN TXT " + text);
    const DecodedMessage decoded = Decode(message);
    ASSERT_EQ(decoded.records.size(), 1u);
    EXPECT_EQ(decoded.records[0].rdata.Size(), 256u);
    EXPECT_EQ(*decoded.records[0].rdata.begin, 255);
}

TEST(RecordDataOfNames, TakesANameOf255BytesInWireForm) {
    // Three labels of 63 bytes, one of 61 and the root label: 3 * 64 + 62 + 1.
    const std::string label63(63, 'a');
    const std::string name =
        label63 + "." + label63 + "." + label63 + "." + std::string(61, 'b') + ".";
    const ByteVector message = WriteRelayList("answer " + name + " 0 IN A 192.0.2.1");
    const DecodedMessage decoded = Decode(message);
    ASSERT_EQ(decoded.records.size(), 1u);
    EXPECT_EQ(decoded.records[0].name.Size(), 255u);
    EXPECT_EQ(NameText(decoded.records[0].name, message), name);
}

// --- Reading the message back -----------------------------------------------------

constexpr const char kRelayList[] = R"(
id 4242
flags qr aa
question _relay._tcp.corp.local. IN SRV
answer east._relay._tcp.corp.local. 3600 IN SRV 10 60 7070 relay1.east.corp.local.
answer east._relay._tcp.corp.local. 3600 IN SRV 10 40 7070 relay2.east.corp.local.
answer West._relay._tcp.corp.local. 60 IN SRV 20 0 0 relay1.west.corp.local.
answer relay-hq. 4294967295 IN SRV 0 65535 65535 hq.corp.local.
authority corp.local. 86400 IN NS ns1.corp.local.
authority . 0 IN SRV 1 1 1 .
additional relay1.east.corp.local. 3600 IN A 192.0.2.11
additional old._relay._tcp.corp.local. 3600 CH SRV 1 2 3 old.corp.local.
additional hs.corp.local. 3600 HS SRV 1 2 3 hs.corp.local.
additional a\.b.corp.local. 3600 IN SRV 5 6 7 a\.b.corp.local.
additional info.corp.local. 0 65535 TXT "x"
)";

struct ExpectedRecord {
    std::string owner;
    std::uint16_t type;
    std::uint16_t recordClass;
    std::uint32_t ttl;
};

struct ExpectedRelay {
    std::string affiliation;
    std::string hostName;
    std::uint16_t port;
    std::uint16_t priority;
    std::uint16_t weight;

    bool operator==(const ExpectedRelay&) const = default;
};

void PrintTo(const ExpectedRelay& relay, std::ostream* out) {
    *out << relay.affiliation << " " << relay.hostName << ":" << relay.port << " " << relay.priority
         << "/" << relay.weight;
}

// What the relay report takes from an SRV record of class IN.
ExpectedRelay RelayOf(const DNSRecord& record, const ByteVector& message) {
    DNSServiceRecordData service;
    ReadDNSServiceRecordData(record.rdata, service);
    const DNSName owner(record.name, ConstData::Over(message));
    std::string affiliation = "Unaffiliated";
    if (!owner.IsRoot() && !owner.Next().IsRoot()) {
        affiliation.assign(owner.Label().begin, owner.Label().end);
    }
    return {affiliation, NameText(service.target, message), service.port, service.priority,
            service.weight};
}

class RelayListReadBack : public testing::TestWithParam<bool> {};

TEST_P(RelayListReadBack, GivesTheDescribedValues) {
    const ByteVector message = WriteRelayList(kRelayList, RelayListOptions{GetParam()});
    const DecodedMessage decoded = Decode(message);

    EXPECT_EQ(decoded.header.id, 4242);
    EXPECT_TRUE(decoded.header.qr);
    EXPECT_TRUE(decoded.header.aa);
    EXPECT_FALSE(decoded.header.tc || decoded.header.rd || decoded.header.ra);
    EXPECT_EQ(decoded.header.opcode, 0);
    EXPECT_EQ(decoded.header.rcode, 0);
    EXPECT_EQ(decoded.header.answerCount, 4);
    EXPECT_EQ(decoded.header.authorityCount, 2);
    EXPECT_EQ(decoded.header.additionalCount, 5);

    ASSERT_EQ(decoded.questions.size(), 1u);
    EXPECT_EQ(NameText(decoded.questions[0].name, message), "_relay._tcp.corp.local.");
    EXPECT_EQ(decoded.questions[0].type, 33);
    EXPECT_EQ(decoded.questions[0].recordClass, 1);

    const std::vector<ExpectedRecord> expectedRecords = {
        {"east._relay._tcp.corp.local.", 33, 1, 3600},
        {"east._relay._tcp.corp.local.", 33, 1, 3600},
        {"West._relay._tcp.corp.local.", 33, 1, 60},
        {"relay-hq.", 33, 1, 4294967295u},
        {"corp.local.", 2, 1, 86400},
        {".", 33, 1, 0},
        {"relay1.east.corp.local.", 1, 1, 3600},
        {"old._relay._tcp.corp.local.", 33, 3, 3600},
        {"hs.corp.local.", 33, 4, 3600},
        {"a.b.corp.local.", 33, 1, 3600},  // the first label holds the dot
        {"info.corp.local.", 16, 65535, 0},
    };
    ASSERT_EQ(decoded.records.size(), expectedRecords.size());
    std::vector<ExpectedRelay> relays;
    for (std::size_t index = 0; index < expectedRecords.size(); ++index) {
        const DNSRecord& record = decoded.records[index];
        const ExpectedRecord& expected = expectedRecords[index];
        EXPECT_EQ(NameText(record.name, message), expected.owner) << "record " << index;
        EXPECT_EQ(record.type, expected.type) << "record " << index;
        EXPECT_EQ(record.recordClass, expected.recordClass) << "record " << index;
        EXPECT_EQ(record.ttl, expected.ttl) << "record " << index;
        if (record.type == 33 && record.recordClass == 1) {
            relays.push_back(RelayOf(record, message));
        }
    }
    const std::vector<ExpectedRelay> expectedRelays = {
        {"east", "relay1.east.corp.local.", 7070, 10, 60},
        {"east", "relay2.east.corp.local.", 7070, 10, 40},
        {"West", "relay1.west.corp.local.", 0, 20, 0},
        {"Unaffiliated", "hq.corp.local.", 65535, 0, 65535},
        {"Unaffiliated", ".", 1, 1, 1},
        {"a.b", "a.b.corp.local.", 7, 5, 6},
    };
    EXPECT_EQ(relays, expectedRelays);
}

INSTANTIATE_TEST_SUITE_P(Compression, RelayListReadBack, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Compressed" : "Uncompressed");
                         });

TEST(RelayListReadBack, CompressionMakesTheMessageSmaller) {
    EXPECT_LT(WriteRelayList(kRelayList).size(),
              WriteRelayList(kRelayList, RelayListOptions{false}).size());
}

}  // namespace
