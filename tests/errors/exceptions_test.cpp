#include "errors/exceptions.hpp"

#include <gtest/gtest.h>

#include <new>
#include <string>

namespace {

namespace Outer::Inner {
class NestedFailure : public DebuggableException {};
}  // namespace Outer::Inner

template <typename Thrown>
std::string WhatOfThrown() {
    try {
        throw Thrown();
    } catch (const std::exception& caught) {
        return caught.what();
    }
}

TEST(DebuggableExceptionTest, DescribesItselfByMostDerivedClassName) {
    EXPECT_EQ(WhatOfThrown<BadDNSRecord>(), "class BadDNSRecord");
    EXPECT_EQ(WhatOfThrown<ConstDataTooSmall>(), "class ConstDataTooSmall");
    EXPECT_EQ(WhatOfThrown<NoMoreData>(), "class NoMoreData");
    EXPECT_EQ(WhatOfThrown<DataOverflow>(), "class DataOverflow");
    EXPECT_EQ(WhatOfThrown<BadDNSMessageHeader>(), "class BadDNSMessageHeader");
    EXPECT_EQ(WhatOfThrown<BadDNSQuestion>(), "class BadDNSQuestion");
    EXPECT_EQ(WhatOfThrown<BadDNSServiceRecordData>(), "class BadDNSServiceRecordData");
    EXPECT_EQ(WhatOfThrown<BadDNSName>(), "class BadDNSName");
    EXPECT_EQ(WhatOfThrown<BadDNSCompressedName>(), "class BadDNSCompressedName");
    EXPECT_EQ(WhatOfThrown<ConstDataCapacityExceeded>(), "class ConstDataCapacityExceeded");
    EXPECT_EQ(WhatOfThrown<FileReadingLoopEndOfFileError>(), "class FileReadingLoopEndOfFileError");
}

TEST(DebuggableExceptionTest, NamesNamespacesJoinedByDoubleColons) {
    EXPECT_EQ(WhatOfThrown<Outer::Inner::NestedFailure>(),
              "class (anonymous namespace)::Outer::Inner::NestedFailure");
}

TEST(DebuggableExceptionTest, ReturnsTheSameTextForEveryObjectOfAClass) {
    const BadDNSName first;
    const BadDNSName second;
    EXPECT_EQ(first.what(), second.what());
    EXPECT_NE(static_cast<const void*>(first.what()),
              static_cast<const void*>(BadDNSRecord().what()));
}

TEST(DebuggableExceptionTest, ClassNameTextOutlivesTheObject) {
    const char* text = nullptr;
    {
        const NoMoreData temporary;
        text = temporary.what();
    }
    EXPECT_STREQ(text, "class NoMoreData");
}

TEST(DebuggableExceptionTest, CanBeCaughtThroughItsDebuggingInfoBase) {
    bool caught = false;
    try {
        throw BadDNSQuestion();
    } catch (const WindowsPlatform::ExceptionDebuggingInfo&) {
        caught = true;
    }
    EXPECT_TRUE(caught);
}

TEST(BadDNSReplyTest, EscapesHandlersOfTheFamilyAndOfStdException) {
    const auto throwReply = [] {
        try {
            throw BadDNSReply();
        } catch (const DebuggableException&) {
            return "DebuggableException";
        } catch (const std::exception&) {
            return "std::exception";
        } catch (const BadDNSReply&) {
            return "BadDNSReply";
        }
    };
    EXPECT_STREQ(throwReply(), "BadDNSReply");
}

TEST(ExceptionPLTest, ReturnsItsTextAndCopiesDeeply) {
    std::string source = "relay list unreadable";
    auto original = std::make_unique<ExceptionPL>(source.c_str());
    source.assign(source.size(), 'x');
    EXPECT_STREQ(original->what(), "relay list unreadable");

    const ExceptionPL copy(*original);
    EXPECT_NE(copy.what(), original->what());
    original.reset();
    EXPECT_STREQ(copy.what(), "relay list unreadable");
}

TEST(ExceptionPLTest, EmptyAndNullTextsGiveAnEmptyText) {
    EXPECT_STREQ(ExceptionPL("").what(), "");
    EXPECT_STREQ(ExceptionPL(nullptr).what(), "");
}

TEST(ExceptionPLTest, AssignmentReplacesTheText) {
    ExceptionPL target("old");
    const ExceptionPL source("new text");
    target = source;
    EXPECT_STREQ(target.what(), "new text");
    target = target;
    EXPECT_STREQ(target.what(), "new text");
}

TEST(CopiedStdExceptionTest, KeepsTheTextButNotTheClass) {
    const CopiedStdException fromFamily{BadDNSRecord()};
    EXPECT_STREQ(fromFamily.what(), "class BadDNSRecord");

    const CopiedStdException fromStandard{std::bad_alloc()};
    EXPECT_STREQ(fromStandard.what(), std::bad_alloc().what());

    bool caughtAsFamily = false;
    try {
        throw fromFamily;
    } catch (const BadDNSRecord&) {
    } catch (const DebuggableException&) {
        caughtAsFamily = true;
    }
    EXPECT_TRUE(caughtAsFamily);
}

}  // namespace
