#include "tools/make_relay_list/relay_list_description.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "tests/support/case_name.hpp"
#include "tools/make_relay_list/relay_list_writer.hpp"

namespace {

using TestCaseNames::PrintTo;

constexpr const char kNothingWrong[] = "nothing wrong";

// The text of the error that reading `description` raises.
std::string ErrorOf(const std::string& description) {
    try {
        WriteRelayList(description);
    } catch (const RelayListDescriptionError& error) {
        return error.what();
    }
    return kNothingWrong;
}

struct ErrorCase {
    const char* name;
    std::string description;
    std::string error;
};

std::string CaseName(const testing::TestParamInfo<ErrorCase>& info) {
    return info.param.name;
}

class DescriptionWith : public testing::TestWithParam<ErrorCase> {};

TEST_P(DescriptionWith, FailsNamingTheLineAndTheProblem) {
    EXPECT_EQ(ErrorOf(GetParam().description), GetParam().error);
}

const std::string kLabel64(64, 'x');
const std::string kLabel63(63, 'x');
const std::string kNameOf257Bytes =
    kLabel63 + "." + kLabel63 + "." + kLabel63 + "." + kLabel63 + ".";
const std::string kText256(256, 't');

INSTANTIATE_TEST_SUITE_P(
    Lines, DescriptionWith,
    testing::Values(
        ErrorCase{"UnknownKeyword", "anwser . 0 IN A 192.0.2.1",
                  "line 1: unknown keyword \"anwser\"; a line starts with id, flags, opcode, "
                  "rcode, counts, compression, question, answer, authority or additional"},
        ErrorCase{"QuotedKeyword", "\"id\" 1",
                  "line 1: unknown keyword \"id\"; a line starts with id, flags, opcode, rcode, "
                  "counts, compression, question, answer, authority or additional"},
        ErrorCase{"LinesCountedWithCommentsAndBlankLines", "# relays\n\nid 1\n   \t\nid 2",
                  "line 5: id given twice (first on line 3)"},
        ErrorCase{"CrLfLines", "id 1\r\nopcode 99\r\n",
                  "line 2: opcode \"99\" is not a number from 0 to 15"},
        ErrorCase{"SettingWithExtraField", "id 1 2",
                  "line 1: unexpected \"2\" at the end of the line"},
        ErrorCase{"SettingWithoutValue", "id", "line 1: missing id"},
        ErrorCase{"FlagsTwice", "flags qr\nflags qr aa",
                  "line 2: flags given twice (first on line 1)"},
        ErrorCase{"UnknownFlag", "flags qr qq",
                  "line 1: unknown flag \"qq\"; use qr, aa, tc, rd, ra, z, ad or cd"},
        ErrorCase{"FlagRepeated", "flags rd qr RD", "line 1: flag \"RD\" given twice"},
        ErrorCase{"OpcodeTooLarge", "opcode 16",
                  "line 1: opcode \"16\" is not a number from 0 to 15"},
        ErrorCase{"UnknownRcode", "rcode OOPS",
                  "line 1: unknown rcode \"OOPS\"; use NOERROR, FORMERR, SERVFAIL, NXDOMAIN, "
                  "NOTIMP, REFUSED, or a number from 0 to 15"},
        ErrorCase{"CountsShort", "counts 1 2 3", "line 1: missing additional count"},
        ErrorCase{"CountTooLarge", "counts 0 65536 - -",
                  "line 1: answer count \"65536\" is not a number from 0 to 65535"},
        ErrorCase{"CompressionNeitherOnNorOff", "compression maybe",
                  "line 1: compression is on or off, not \"maybe\""},
        ErrorCase{"NameWithoutFinalDot", "answer east.relays 0 IN A 192.0.2.1",
                  "line 1: owner name \"east.relays\" does not end with a dot"},
        ErrorCase{"NameEndingInEscapedDot", "answer east\\. 0 IN A 192.0.2.1",
                  "line 1: owner name \"east\\.\" does not end with a dot"},
        ErrorCase{"EmptyLabel", "question a..b. IN SRV",
                  "line 1: question name \"a..b.\" has an empty label"},
        ErrorCase{"LeadingDot", "answer . 0 IN SRV 0 0 0 .a.",
                  "line 1: SRV target \".a.\" has an empty label"},
        ErrorCase{"LabelOf64Bytes", "answer . 0 IN CNAME " + kLabel64 + ".",
                  "line 1: CNAME target \"" + kLabel64 + ".\" has a label longer than 63 bytes"},
        ErrorCase{
            "NameOf257Bytes", "answer . 0 IN NS " + kNameOf257Bytes,
            "line 1: NS target \"" + kNameOf257Bytes + "\" is longer than 255 bytes in wire form"},
        ErrorCase{"QuotedName", "answer \"a.\" 0 IN A 192.0.2.1",
                  "line 1: owner name \"a.\" must not be quoted"},
        ErrorCase{"EscapeOfTwoDigits", "answer a\\12. 0 IN A 192.0.2.1",
                  "line 1: escape \"\\12\" needs three decimal digits"},
        ErrorCase{"EscapeCutShort", "answer . 0 IN PTR a\\1",
                  "line 1: escape \"\\1\" needs three decimal digits"},
        ErrorCase{"EscapeAbove255", "answer \\256. 0 IN A 192.0.2.1",
                  "line 1: escape \"\\256\" is above 255"},
        ErrorCase{"BackslashEndsTheLine", "answer a.\\", "line 1: a backslash ends the line"},
        ErrorCase{"QuoteNotClosed", "answer . 0 IN TXT \"abc",
                  "line 1: a quoted string has no closing quote"},
        ErrorCase{"TextAfterClosingQuote", "answer . 0 IN TXT \"a\"b",
                  "line 1: no blank after the closing quote of \"a\""},
        ErrorCase{"UnknownType", "answer . 0 IN SRVV 0 0 0 .",
                  "line 1: unknown record type \"SRVV\"; use A, NS, CNAME, PTR, TXT, AAAA, SRV or "
                  "a number"},
        ErrorCase{"TypeAboveSixteenBits", "question . IN 65536",
                  "line 1: record type \"65536\" is not a number from 0 to 65535"},
        ErrorCase{"UnknownClass", "answer . 0 XX A 192.0.2.1",
                  "line 1: unknown class \"XX\"; use IN, CH, HS or a number"},
        ErrorCase{"TypeAndClassSwapped", "question relays. SRV IN",
                  "line 1: unknown class \"SRV\"; use IN, CH, HS or a number"},
        ErrorCase{"TtlAboveThirtyTwoBits", "answer . 4294967296 IN A 192.0.2.1",
                  "line 1: TTL \"4294967296\" is not a number from 0 to 4294967295"},
        ErrorCase{"NegativePriority", "answer . 0 IN SRV -1 0 0 .",
                  "line 1: SRV priority \"-1\" is not a number from 0 to 65535"},
        ErrorCase{"PortAboveSixteenBits", "answer . 0 IN SRV 0 0 65536 .",
                  "line 1: SRV port \"65536\" is not a number from 0 to 65535"},
        ErrorCase{"HexPrefixAlone", "answer . 0 IN SRV 0 0x 0 .",
                  "line 1: SRV weight \"0x\" is not a number from 0 to 65535"},
        ErrorCase{"SrvWithoutTarget", "answer . 0 IN SRV 10 5 700", "line 1: missing SRV target"},
        ErrorCase{"RecordWithoutType", "answer relays. 60 IN", "line 1: missing record type"},
        ErrorCase{"SrvWithExtraField", "answer . 0 IN SRV 10 5 700 relay. extra",
                  "line 1: unexpected \"extra\" at the end of the line"},
        ErrorCase{"IPv4OfThreeParts", "answer . 0 IN A 192.0.2",
                  "line 1: IPv4 address \"192.0.2\" is not four numbers from 0 to 255 separated "
                  "by dots"},
        ErrorCase{"IPv4OfFiveParts", "answer . 0 IN A 192.0.2.1.1",
                  "line 1: IPv4 address \"192.0.2.1.1\" is not four numbers from 0 to 255 "
                  "separated by dots"},
        ErrorCase{"IPv4PartAbove255", "answer . 0 IN A 192.0.2.256",
                  "line 1: IPv4 address \"192.0.2.256\" is not four numbers from 0 to 255 "
                  "separated by dots"},
        ErrorCase{"IPv4EmptyPart", "answer . 0 IN A 192..2.1",
                  "line 1: IPv4 address \"192..2.1\" is not four numbers from 0 to 255 "
                  "separated by dots"},
        ErrorCase{"IPv6TwoGaps", "answer . 0 IN AAAA 1::2::3",
                  "line 1: IPv6 address \"1::2::3\" is not valid"},
        ErrorCase{"IPv6NineGroups", "answer . 0 IN AAAA 1:2:3:4:5:6:7:8:9",
                  "line 1: IPv6 address \"1:2:3:4:5:6:7:8:9\" is not valid"},
        ErrorCase{"IPv6SevenGroups", "answer . 0 IN AAAA 1:2:3:4:5:6:7",
                  "line 1: IPv6 address \"1:2:3:4:5:6:7\" is not valid"},
        ErrorCase{"IPv6GapForNoGroup", "answer . 0 IN AAAA 1:2:3:4::5:6:7:8",
                  "line 1: IPv6 address \"1:2:3:4::5:6:7:8\" is not valid"},
        ErrorCase{"IPv6FiveDigitGroup",
                  "answer . 0 IN AAAA 12345::", "line 1: IPv6 address \"12345::\" is not valid"},
        ErrorCase{"IPv6LoneLeadingColon", "answer . 0 IN AAAA :1:2:3:4:5:6:7",
                  "line 1: IPv6 address \":1:2:3:4:5:6:7\" is not valid"},
        ErrorCase{"IPv6IPv4NotLast", "answer . 0 IN AAAA ::192.0.2.1:1",
                  "line 1: IPv6 address \"::192.0.2.1:1\" is not valid"},
        ErrorCase{"TxtWithoutString", "answer . 0 IN TXT", "line 1: missing TXT string"},
        ErrorCase{"TxtStringOf256Bytes", "answer . 0 IN TXT \"" + kText256 + "\"",
                  "line 1: TXT string \"" + kText256 + "\" is longer than 255 bytes"},
        ErrorCase{"HexNotHex", "answer . 0 IN 65280 01 0g",
                  "line 1: record data \"0g\" is not hexadecimal"},
        ErrorCase{"HexQuoted", "answer . 0 IN 65280 \"01\"",
                  "line 1: record data \"01\" is not hexadecimal"},
        ErrorCase{"HexOddDigits", "answer . 0 IN 65280 01 0",
                  "line 1: record data has an odd number of hex digits"},
        ErrorCase{"RecordDataOf65536Bytes", "answer . 0 IN 65280 " + std::string(2 * 65536, 'a'),
                  "line 1: record data is longer than 65535 bytes"},
        ErrorCase{"TxtDataOf65536Bytes",
                  [] {
                      // 257 strings of 255 bytes, each behind its length byte.
                      std::string line = "answer . 0 IN TXT";
                      for (int i = 0; i < 257; ++i) {
                          line += " " + std::string(255, 't');
                      }
                      return line;
                  }(),
                  "line 1: record data is longer than 65535 bytes"},
        ErrorCase{"QuestionAfterRecords", "answer . 0 IN A 192.0.2.1\nquestion . IN A",
                  "line 2: question after records; questions come first"},
        ErrorCase{"AnswerAfterAdditional",
                  "answer . 0 IN A 192.0.2.1\nadditional . 0 IN A 192.0.2.1\n"
                  "answer . 0 IN A 192.0.2.1",
                  "line 3: answer record after additional records; sections go in the order "
                  "answer, authority, additional"},
        ErrorCase{"AuthorityAfterAdditional",
                  "additional . 0 IN A 192.0.2.1\nauthority . 0 IN A 192.0.2.1",
                  "line 2: authority record after additional records; sections go in the "
                  "order answer, authority, additional"}),
    CaseName);

struct SectionLimitCase {
    const char* name;
    const char* entry;
    const char* error;
};

class SectionOf65536 : public testing::TestWithParam<SectionLimitCase> {};

TEST_P(SectionOf65536, IsRefusedAtItsLastEntry) {
    std::string description;
    for (int entry = 0; entry < 65536; ++entry) {
        description += GetParam().entry;
    }
    EXPECT_EQ(ErrorOf(description), GetParam().error);
    // One entry fewer fits exactly.
    description.resize(description.size() - std::char_traits<char>::length(GetParam().entry));
    EXPECT_EQ(ErrorOf(description), kNothingWrong);
}

INSTANTIATE_TEST_SUITE_P(Limits, SectionOf65536,
                         testing::Values(SectionLimitCase{"Questions", "question . IN A\n",
                                                          "line 65536: more than 65535 questions"},
                                         SectionLimitCase{
                                             "AuthorityRecords", "authority . 0 IN 65280\n",
                                             "line 65536: more than 65535 authority records"}),
                         [](const testing::TestParamInfo<SectionLimitCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(RelayListDescriptionError, KeepsTheLineNumberApart) {
    try {
        ParseRelayListDescription("id 1\n\n\nflags xx\n");
        FAIL() << "no error";
    } catch (const RelayListDescriptionError& error) {
        EXPECT_EQ(error.Line(), 4u);
    }
}

TEST(RelayListDescriptionError, IsOfTheSystemsExceptionFamily) {
    EXPECT_THROW(ParseRelayListDescription("id x"), DebuggableException);
}

}  // namespace
