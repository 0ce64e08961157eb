#include "data/ascii.hpp"
#include "tests/support/case_name.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using TestCaseNames::PrintTo;

using Ascii::CharacterClass;

bool In(unsigned value, unsigned first, unsigned last) {
    return value >= first && value <= last;
}

struct ClassCase {
    const char* name;
    const CharacterClass& (*accessor)();
    std::size_t count;
    // Membership written out independently of the tables.
    bool (*member)(unsigned value);
};

class CharacterClassTest : public testing::TestWithParam<ClassCase> {};

TEST_P(CharacterClassTest, HoldsExactlyItsMembers) {
    const ClassCase& c = GetParam();
    const CharacterClass& set = c.accessor();
    std::size_t count = 0;
    for (unsigned value = 0; value < 256; ++value) {
        const bool contained = set.Contains(static_cast<Byte>(value));
        EXPECT_EQ(contained, c.member(value)) << "byte " << value;
        count += contained ? 1 : 0;
    }
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(&set, &c.accessor());
}

INSTANTIATE_TEST_SUITE_P(
    SixteenClasses, CharacterClassTest,
    testing::Values(
        ClassCase{"Graphic", &Ascii::Graphic, 94, [](unsigned v) { return In(v, 33, 126); }},
        ClassCase{"NonGraphic", &Ascii::NonGraphic, 162,
                  [](unsigned v) { return In(v, 0, 32) || In(v, 127, 255); }},
        ClassCase{"Printable", &Ascii::Printable, 95, [](unsigned v) { return In(v, 32, 126); }},
        ClassCase{"Control", &Ascii::Control, 33,
                  [](unsigned v) { return In(v, 0, 31) || v == 127; }},
        ClassCase{"NonAscii", &Ascii::NonAscii, 128, [](unsigned v) { return In(v, 128, 255); }},
        ClassCase{"Whitespace", &Ascii::Whitespace, 4,
                  [](unsigned v) { return v == 9 || v == 10 || v == 13 || v == 32; }},
        ClassCase{"Blank", &Ascii::Blank, 2, [](unsigned v) { return v == 9 || v == 32; }},
        ClassCase{"Letter", &Ascii::Letter, 52,
                  [](unsigned v) { return In(v, 65, 90) || In(v, 97, 122); }},
        ClassCase{"Digit", &Ascii::Digit, 10, [](unsigned v) { return In(v, 48, 57); }},
        ClassCase{"LetterOrDigit", &Ascii::LetterOrDigit, 62,
                  [](unsigned v) { return In(v, 48, 57) || In(v, 65, 90) || In(v, 97, 122); }},
        ClassCase{"Punctuation", &Ascii::Punctuation, 32,
                  [](unsigned v) {
                      return In(v, 33, 47) || In(v, 58, 64) || In(v, 91, 96) || In(v, 123, 126);
                  }},
        ClassCase{"HexDigit", &Ascii::HexDigit, 22,
                  [](unsigned v) { return In(v, 48, 57) || In(v, 65, 70) || In(v, 97, 102); }},
        ClassCase{"IdentifierStart", &Ascii::IdentifierStart, 53,
                  [](unsigned v) { return In(v, 65, 90) || v == 95 || In(v, 97, 122); }},
        ClassCase{
            "IdentifierPart", &Ascii::IdentifierPart, 63,
            [](unsigned v) { return In(v, 48, 57) || In(v, 65, 90) || v == 95 || In(v, 97, 122); }},
        ClassCase{"Lowercase", &Ascii::Lowercase, 26, [](unsigned v) { return In(v, 97, 122); }},
        ClassCase{"Uppercase", &Ascii::Uppercase, 26, [](unsigned v) { return In(v, 65, 90); }}),
    TestCaseNames::CaseName<ClassCase>);

TEST(CharacterClassTest, BitOfValueVIsBitVMod32OfWordVDiv32) {
    EXPECT_EQ(Ascii::Whitespace().bits,
              (std::array<std::uint32_t, 8>{0x00002600, 0x00000001, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Ascii::Digit().bits, (std::array<std::uint32_t, 8>{0, 0x03FF0000, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(
        Ascii::NonAscii().bits,
        (std::array<std::uint32_t, 8>{0, 0, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}));
}

TEST(CharacterClassTest, NonGraphicIsTheComplementOfGraphic) {
    for (unsigned value = 0; value < 256; ++value) {
        const Byte byte = static_cast<Byte>(value);
        EXPECT_NE(Ascii::NonGraphic().Contains(byte), Ascii::Graphic().Contains(byte))
            << "byte " << value;
    }
}

TEST(CharacterClassTest, PunctuationIsGraphicWithoutLettersAndDigits) {
    for (unsigned value = 0; value < 256; ++value) {
        const Byte byte = static_cast<Byte>(value);
        EXPECT_EQ(Ascii::Punctuation().Contains(byte),
                  Ascii::Graphic().Contains(byte) && !Ascii::LetterOrDigit().Contains(byte))
            << "byte " << value;
    }
}

TEST(CharacterClassTest, InitializingAgainChangesNothing) {
    const std::array<std::uint32_t, 8> before = Ascii::Graphic().bits;
    const Ascii::CharacterClass* whitespace = &Ascii::Whitespace();
    Ascii::InitializeTables();
    EXPECT_EQ(Ascii::Graphic().bits, before);
    EXPECT_EQ(&Ascii::Whitespace(), whitespace);
}

struct TrimCase {
    const char* name;
    std::string text;
    std::size_t keptFrom;
    std::size_t keptTo;
};

class TrimWhitespaceTest : public testing::TestWithParam<TrimCase> {};

TEST_P(TrimWhitespaceTest, CutsWhitespaceOffBothEnds) {
    const TrimCase& c = GetParam();
    const char* first = c.text.data();
    const Ascii::CharacterRange kept = Ascii::TrimWhitespace(first, first + c.text.size());
    EXPECT_EQ(kept.first - first, static_cast<std::ptrdiff_t>(c.keptFrom));
    EXPECT_EQ(kept.end - first, static_cast<std::ptrdiff_t>(c.keptTo));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, TrimWhitespaceTest,
    testing::Values(TrimCase{"SpacesBeforeLineBreakAfter", "  text\r\n", 2, 6},
                    TrimCase{"InnerWhitespaceStays", " a b ", 1, 4},
                    TrimCase{"NothingToTrim", "a", 0, 1}, TrimCase{"Empty", "", 0, 0},
                    TrimCase{"WhitespaceOnly", "\t\n\r ", 4, 4},
                    TrimCase{"VerticalTabAndFormFeedAreNotWhitespace", "\vx\f", 0, 3},
                    TrimCase{"ByteOf160Stays", "\xA0 x \xA0", 0, 5},
                    TrimCase{"HighBytesStopTheTrim", " \xFFx\x80\t", 1, 4},
                    TrimCase{"EmbeddedZeroIsNotWhitespace", std::string(" \0 ", 3), 1, 2}),
    TestCaseNames::CaseName<TrimCase>);

TEST(TrimWhitespaceTest, NullRangeStaysEmpty) {
    const Ascii::CharacterRange kept = Ascii::TrimWhitespace(nullptr, nullptr);
    EXPECT_EQ(kept.first, nullptr);
    EXPECT_EQ(kept.end, nullptr);
}

}  // namespace
