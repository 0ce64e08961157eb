#include "files/file_errors.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "errors/windows_error.hpp"

namespace {

const FilePath kPath("C:\\data\\Relays.dat");

struct Thrown {
    std::string className;  // "nothing" when the call returned
    std::uint32_t code = 0;
    std::string path;
};

template <typename Operation>
Thrown ThrownBy(Operation&& operation) {
    try {
        operation();
    } catch (const FileIOError& caught) {
        return {RunTimeClassName(caught), caught.Code(), caught.Path()};
    }
    return {"nothing", 0, ""};
}

struct TableRow {
    std::vector<std::uint32_t> codes;
    const char* className;
};

void ExpectTable(void (*raise)(const FilePath&, std::uint32_t), const std::vector<TableRow>& rows) {
    for (const TableRow& row : rows) {
        for (const std::uint32_t code : row.codes) {
            const Thrown thrown = ThrownBy([&] { raise(kPath, code); });
            EXPECT_EQ(thrown.className, row.className) << "code " << code;
            if (code != 0) {
                EXPECT_EQ(thrown.code, code);
                EXPECT_EQ(thrown.path, kPath.ToString());
            }
        }
    }
}

TEST(ThrowFileErrorTest, FollowsTheOpeningTable) {
    ExpectTable(ThrowFileError,
                {
                    {{0}, "nothing"},
                    {{2, 6, 18, 107}, "class FileNotFoundError"},
                    {{3,   15,  17,  34,  52,  53,  55,  67,  70,  85,
                      111, 123, 124, 125, 144, 154, 161, 206, 208, 267},
                     "class DirectoryNotFoundError"},
                    {{5, 12, 19, 29, 54, 58, 64, 65, 71, 80, 82, 86, 170, 183, 999},
                     "class FilePermissionError"},
                    {{33, 108, 167}, "class FileLockError"},
                    {{39, 112}, "class DiskFullError"},
                    {{1, 24, 25, 30, 32, 38, 87, 131, 132, 995, 0xFFFFFFFFu}, "class FileIOError"},
                });
}

TEST(ThrowFileReadErrorTest, FollowsTheReadingTable) {
    ExpectTable(ThrowFileReadError,
                {
                    {{0}, "nothing"},
                    {{5, 12, 19, 29, 32, 54, 58, 64, 65, 71, 80, 82, 86, 170, 183, 999},
                     "class FilePermissionError"},
                    {{24, 25, 27, 30, 131, 132}, "class FileSeekError"},
                    {{33, 108, 167}, "class FileLockError"},
                    {{38}, "class EndOfFileError"},
                    {{2,  3,  6,   18,  20,  21,  22,  23,  39,  57, 59,
                      87, 88, 107, 112, 117, 206, 267, 995, 996, 997},
                     "class FileIOError"},
                });
}

TEST(FileIOErrorTest, MessageOfAMissingFileNamesClassPathAndWindowsText) {
    try {
        ThrowFileError(kPath, 2);
        FAIL() << "nothing thrown";
    } catch (const std::exception& caught) {
        EXPECT_EQ(std::string(caught.what()),
                  "File error \"class FileNotFoundError\" on \"C:\\data\\Relays.dat\": " +
                      WindowsErrorText(2));
    }
}

TEST(FileIOErrorTest, MessageLeavesOutAnEmptyPathAndACodeOfZero) {
    const FilePath empty;
    EXPECT_EQ(std::string(FilePermissionError(empty, 5).what()),
              "File error \"class FilePermissionError\": " + WindowsErrorText(5));
    EXPECT_STREQ(FileSeekError(kPath, 0).what(),
                 "File error \"class FileSeekError\" on \"C:\\data\\Relays.dat\"");
    EXPECT_STREQ(FileSeekError(empty, 0).what(), "File error \"class FileSeekError\"");
}

TEST(FileIOErrorTest, APlainErrorKeepsItsCodeAndShowsItsWindowsText) {
    const Thrown thrown = ThrownBy([] { ThrowFileError(kPath, 87); });
    EXPECT_EQ(thrown.className, "class FileIOError");
    EXPECT_EQ(thrown.code, 87u);
    const FileIOError error(kPath.CStr(), kPath.CStr() + kPath.Length(), 87);
    EXPECT_EQ(
        std::string(error.what()),
        "File error \"class FileIOError\" on \"C:\\data\\Relays.dat\": " + WindowsErrorText(87));
}

TEST(FileIOErrorTest, ACopyHasTheSameClassCodePathAndMessage) {
    try {
        ThrowFileError(kPath, 3);
    } catch (const FileIOError& caught) {
        const char* const message = caught.what();
        const DirectoryNotFoundError copy(dynamic_cast<const DirectoryNotFoundError&>(caught));
        EXPECT_EQ(RunTimeClassName(copy), std::string("class DirectoryNotFoundError"));
        EXPECT_EQ(copy.Code(), 3u);
        EXPECT_EQ(copy.Path(), kPath.ToString());
        EXPECT_STREQ(copy.what(), message);
        EXPECT_NE(copy.what(), message) << "the copy builds its own text";
    }
}

TEST(FileIOErrorTest, WhatReturnsTheSameTextEveryTime) {
    const EndOfFileError error(kPath, 38);
    const char* const first = error.what();
    const std::string text = first;
    EXPECT_EQ(error.what(), first);
    EXPECT_EQ(text, error.what());
}

TEST(FileReadingLoopEndOfFileErrorTest, ShowsItsClassNameAndIsNoFileIOError) {
    try {
        throw FileReadingLoopEndOfFileError();
    } catch (const FileIOError&) {
        FAIL() << "caught as a FileIOError";
    } catch (const DebuggableException& caught) {
        EXPECT_STREQ(caught.what(), "class FileReadingLoopEndOfFileError");
    }
}

}  // namespace
