#include "errors/describe_exception.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "errors/exceptions.hpp"
#include "platform/com_error.hpp"
#include "tests/support/error_information.hpp"

namespace {

std::string DescribeThrown(const std::function<void()>& thrower) {
    try {
        thrower();
    } catch (...) {
        return DescribeCurrentException();
    }
    return "(nothing thrown)";
}

struct DescriptionCase {
    const char* name;
    std::function<void()> thrower;
    const char* expected;
};

class DescribeCurrentExceptionTest : public testing::TestWithParam<DescriptionCase> {};

TEST_P(DescribeCurrentExceptionTest, GivesTheLineOfItsKind) {
    EXPECT_EQ(DescribeThrown(GetParam().thrower), GetParam().expected);
}

void PrintTo(const DescriptionCase& table, std::ostream* out) {
    *out << table.name;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DescribeCurrentExceptionTest,
    testing::Values(
        DescriptionCase{"DataLessFamilyMember", [] { throw BadDNSMessageHeader(); },
                        "class BadDNSMessageHeader"},
        DescriptionCase{"AnotherFamilyMember", [] { throw FileReadingLoopEndOfFileError(); },
                        "class FileReadingLoopEndOfFileError"},
        DescriptionCase{"TextOfItsOwn", [] { throw ExceptionPL("relay list unreadable"); },
                        "relay list unreadable"},
        DescriptionCase{"CopiedText",
                        [] { throw CopiedStdException(std::runtime_error("copied")); }, "copied"},
        DescriptionCase{"StandardException", [] { throw std::out_of_range("index 7"); }, "index 7"},
        DescriptionCase{"MemoryExhaustion", [] { throw std::bad_alloc(); }, "bad allocation"},
        DescriptionCase{"ReplyWithoutBase", [] { throw BadDNSReply(); },
                        "No diagnostic message available"},
        DescriptionCase{"Integer", [] { throw 42; }, "No diagnostic message available"},
        DescriptionCase{"StringLiteral", [] { throw "text"; }, "No diagnostic message available"},
        DescriptionCase{"NonDumpableMarker", [] { throw NonDumpableException(); },
                        "No diagnostic message available"},
        DescriptionCase{"DispatchErrorFirst",
                        [] { throw _com_error(static_cast<HRESULT>(0x80040201)); },
                        "COM Error: IDispatch error #1"},
        DescriptionCase{"DispatchErrorLast",
                        [] { throw _com_error(static_cast<HRESULT>(0x8004FFFF)); },
                        "COM Error: IDispatch error #65023"},
        DescriptionCase{"JustBelowDispatchRange",
                        [] { throw _com_error(static_cast<HRESULT>(0x80040200)); },
                        "COM Error: Unknown error 0x80040200"}));

TEST(DescribeCurrentExceptionTest, LeavesTheExceptionBeingHandled) {
    try {
        throw BadDNSRecord();
    } catch (...) {
        EXPECT_EQ(DescribeCurrentException(), "class BadDNSRecord");
        // Still handled: a bare re-throw finds the same exception.
        EXPECT_THROW(throw, BadDNSRecord);
    }
}

std::string DescribeComErrorWith(IErrorInfo* info) {
    try {
        throw _com_error(static_cast<HRESULT>(0x80004005), info, true);
    } catch (...) {
        return DescribeCurrentException();
    }
}

TEST(DescribeCurrentExceptionTest, ComErrorInformationGivesDescriptionAndSource) {
    const OleText description = Ole("  Relay store locked\r\n");
    const OleText source = Ole("Northwind.Store");
    IErrorInfo* info = MakeErrorInformation(&description, &source);
    ASSERT_NE(info, nullptr);
    const ULONG references = ReferenceCount(info);
    // Taken as they come, without trimming.
    EXPECT_EQ(DescribeComErrorWith(info), "COM Error:   Relay store locked\r\n (Northwind.Store)");
    // Every reference taken while describing was given back.
    EXPECT_EQ(ReferenceCount(info), references);
    info->Release();
}

TEST(DescribeCurrentExceptionTest, AbsentDescriptionAndSourceContributeNothing) {
    IErrorInfo* info = MakeErrorInformation(nullptr, nullptr);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(DescribeComErrorWith(info), "COM Error:  ()");
    info->Release();
}

TEST(DescribeCurrentExceptionTest, ComTextOutsideAsciiIsConverted) {
    const OleText description = Ole("caf\xe9");
    const OleText source = Ole("src");
    IErrorInfo* info = MakeErrorInformation(&description, &source);
    ASSERT_NE(info, nullptr);
    const std::string line = DescribeComErrorWith(info);
    EXPECT_EQ(line.rfind("COM Error: caf", 0), 0u);
    EXPECT_GT(line.size(), std::string("COM Error: caf (src)").size());
    EXPECT_EQ(line.substr(line.size() - 6), " (src)");
    info->Release();
}

}  // namespace
