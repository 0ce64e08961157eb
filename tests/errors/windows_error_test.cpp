#include "errors/windows_error.hpp"
#include "tests/support/case_name.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <utility>

#include "errors/exceptions.hpp"
#include "platform/win32_api.hpp"

namespace {

// What FormatMessageA hands out for `code`, untrimmed; empty without a text.
std::string RawSystemText(std::uint32_t code) {
    char* buffer = nullptr;
    const DWORD count = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    std::string text(buffer == nullptr ? "" : buffer, count);
    LocalFree(buffer);
    return text;
}

std::string TrimmedByHand(const std::string& text) {
    const char* const whitespace = "\t\n\r ";
    const std::size_t first = text.find_first_not_of(whitespace);
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(whitespace) - first + 1);
}

struct DecimalCase {
    const char* name;
    std::uint64_t value;
    std::uint32_t minimumDigits;
    const char* expected;
};

void PrintTo(const DecimalCase& item, std::ostream* out) {
    *out << item.name;
}

class DecimalTextTest : public testing::TestWithParam<DecimalCase> {};

TEST_P(DecimalTextTest, WritesTheDigitsPaddedToTheMinimum) {
    const DecimalCase& item = GetParam();
    EXPECT_EQ(DecimalText64(item.value, item.minimumDigits).ToString(), item.expected);
    if (item.value <= std::numeric_limits<std::uint32_t>::max() && item.minimumDigits <= 10) {
        const auto text = DecimalText(static_cast<std::uint32_t>(item.value), item.minimumDigits);
        EXPECT_STREQ(text.CStr(), item.expected);
        EXPECT_EQ(text.Length(), std::string(item.expected).size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, DecimalTextTest,
    testing::Values(DecimalCase{"ZeroWithMinimumOne", 0, 1, "0"},
                    DecimalCase{"ZeroWithMinimumZero", 0, 0, ""},
                    DecimalCase{"SevenWithMinimumThree", 7, 3, "007"},
                    DecimalCase{"MinimumBelowDigitCount", 12345, 2, "12345"},
                    DecimalCase{"Largest32Bit", 4294967295u, 1, "4294967295"},
                    DecimalCase{"PaddedToTen", 42, 10, "0000000042"},
                    DecimalCase{"Largest64Bit", 18446744073709551615u, 1, "18446744073709551615"},
                    DecimalCase{"PaddedToTwenty", 5, 20, "00000000000000000005"}),
    TestCaseNames::CaseName<DecimalCase>);

TEST(DecimalTextTest, RefusesAMinimumBeyondItsCapacity) {
    EXPECT_THROW(DecimalText(1, 11), ConstDataCapacityExceeded);
    EXPECT_THROW(DecimalText64(1, 21), ConstDataCapacityExceeded);
    // Far beyond the scratch space: refused before a digit is written.
    EXPECT_THROW(DecimalText64(1, 1000), ConstDataCapacityExceeded);
}

TEST(FixedCapacityTextTest, HoldsUpToItsCapacity) {
    const std::string ten = "0123456789";
    const FixedCapacityText<10> full(ten.data(), ten.data() + 10);
    EXPECT_STREQ(full.CStr(), "0123456789");
    EXPECT_EQ(full.Length(), 10u);

    const std::string eleven = ten + "X";
    EXPECT_THROW((FixedCapacityText<10>(eleven.data(), eleven.data() + 11)),
                 ConstDataCapacityExceeded);

    const FixedCapacityText<10> empty(ten.data(), ten.data());
    EXPECT_STREQ(empty.CStr(), "");
}

TEST(WindowsErrorTextTest, FallsBackToTheHexadecimalCodeWithoutASystemText) {
    EXPECT_EQ(WindowsErrorText(4294967295u), "Windows Error: 4294967295: unknown error 0xffffffff");
    EXPECT_EQ(WindowsErrorText(0x2000abcdu), "Windows Error: 536914893: unknown error 0x2000abcd");
}

// The system's texts end in a line break (and may start with spaces); the
// text keeps only what lies between, line breaks inside included.
TEST(WindowsErrorTextTest, AppendsTheSystemTextTrimmedAtBothEnds) {
    for (const std::uint32_t code : {0u, 2u, 3u, 5u, 32u, 38u, 87u}) {
        const std::string raw = RawSystemText(code);
        ASSERT_FALSE(raw.empty()) << code;
        ASSERT_NE(TrimmedByHand(raw), raw) << "nothing to trim for " << code;

        const std::string text = WindowsErrorText(code);
        EXPECT_EQ(text, "Windows Error: " + std::to_string(code) + ": " + TrimmedByHand(raw));
        EXPECT_EQ(SystemErrorText(Windows::Error(code)), TrimmedByHand(raw));
    }
    RecordProperty("text2", WindowsErrorText(2));
    RecordProperty("text3", WindowsErrorText(3));
    RecordProperty("text5", WindowsErrorText(5));
}

TEST(WindowsErrorTest, DescribesItselfByItsWindowsErrorText) {
    const Windows::Error error(2);
    const std::exception& asException = error;
    EXPECT_EQ(asException.what(), WindowsErrorText(2));
    EXPECT_EQ(error.Code(), 2u);
    EXPECT_EQ(error.Module(), nullptr);
}

TEST(WindowsErrorTest, BuildsItsTextOnceAndACopyBuildsItsOwn) {
    const Windows::Error error(5);
    const char* const first = error.what();
    EXPECT_EQ(error.what(), first);

    const Windows::Error copy(error);
    EXPECT_EQ(copy.Code(), 5u);
    EXPECT_NE(copy.what(), first);
    EXPECT_STREQ(copy.what(), first);
}

TEST(WindowsErrorTest, IsCaughtAsAMemberOfTheFamily) {
    try {
        throw Windows::Error(0xFFFFFFFFu);
    } catch (const DebuggableException& caught) {
        EXPECT_STREQ(caught.what(), "Windows Error: 4294967295: unknown error 0xffffffff");
    }
}

TEST(LocalAllocationTest, MovesOwnershipAndLeavesTheSourceEmpty) {
    void* const block = LocalAlloc(LMEM_FIXED, 32);
    ASSERT_NE(block, nullptr);
    LocalAllocation first(block);
    LocalAllocation second(std::move(first));
    EXPECT_EQ(first.Get(), nullptr);
    EXPECT_EQ(second.Get(), block);

    LocalAllocation third;
    third = std::move(second);
    EXPECT_EQ(second.Get(), nullptr);
    EXPECT_EQ(third.Get(), block);
    // The leak checker of the sanitizer run fails the test if the block is
    // not freed exactly once.
}

TEST(LocalAllocationTest, ReleaseSwallowsARefusedFree) {
#ifdef _WIN32
    GTEST_SKIP() << "the real local heap may corrupt itself when handed foreign memory";
#else
    alignas(16) unsigned char foreign[64] = {};
    EXPECT_NO_THROW({ LocalAllocation owner(foreign + 32); });
#endif
}

}  // namespace
