// What the system relies on from the platform's calls. The same tests run
// against the real calls (under Windows or wine) and against the Linux
// stand-ins, so that the stand-ins behave as the platform does.
#include "platform/win32_api.hpp"
#include "tests/support/case_name.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/test_support.hpp"

namespace {

using PlatformTest::TemporaryFolder;

constexpr DWORD kSystemTextFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;

HANDLE OpenForReading(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Fails one call on purpose, leaving ERROR_FILE_NOT_FOUND as the thread's
// last error.
void LeaveStaleLastError(const TemporaryFolder& folder) {
    ASSERT_EQ(OpenForReading(folder.PathOf("missing")), INVALID_HANDLE_VALUE);
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// The system's text for `code` as FormatMessageA hands it out, or nothing.
struct FormattedText {
    DWORD count = 0;
    DWORD lastError = 0;
    std::string text;
};

FormattedText FormatSystemText(DWORD code, DWORD flags = kSystemTextFlags) {
    FormattedText result;
    char* buffer = nullptr;
    result.count =
        FormatMessageA(flags, nullptr, code, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    result.lastError = GetLastError();
    if (result.count != 0) {
        result.text.assign(buffer, result.count);
        EXPECT_EQ(LocalFree(buffer), nullptr);
    }
    return result;
}

// The threads hand over through atomics alone: joining or waiting through
// the platform would itself change the waiting thread's last error.
TEST(LastErrorTest, IsKeptForEachThread) {
    TemporaryFolder folder;
    std::atomic<bool> failedHere{false};
    std::atomic<bool> failedThere{false};
    DWORD atThreadStart = 0xFFFFFFFF;
    DWORD afterFailureThere = 0;
    std::thread other([&] {
        atThreadStart = GetLastError();
        while (!failedHere) {
        }
        CloseHandle(nullptr);
        afterFailureThere = GetLastError();
        failedThere = true;
    });

    LeaveStaleLastError(folder);
    failedHere = true;
    while (!failedThere) {
    }
    const DWORD afterFailureHere = GetLastError();
    other.join();

    EXPECT_EQ(atThreadStart, 0u);
    EXPECT_EQ(afterFailureThere, static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(afterFailureHere, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

struct OpenFailureCase {
    const char* name;
    // The path inside a folder that holds a file "file" and a folder "folder".
    std::string relativePath;
    DWORD expectedError;
};

void PrintTo(const OpenFailureCase& item, std::ostream* out) {
    *out << item.name;
}

class CreateFileFailureTest : public testing::TestWithParam<OpenFailureCase> {};

TEST_P(CreateFileFailureTest, FailsWithTheWindowsCode) {
    TemporaryFolder folder;
    PlatformTest::WriteFile(folder.PathOf("file"), {1, 2, 3});
    std::filesystem::create_directory(folder.Path() / "folder");
    const std::string path =
        GetParam().relativePath.empty() ? "" : folder.PathOf(GetParam().relativePath);

    EXPECT_EQ(OpenForReading(path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), GetParam().expectedError);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CreateFileFailureTest,
    testing::Values(OpenFailureCase{"MissingFile", "missing", ERROR_FILE_NOT_FOUND},
                    OpenFailureCase{"MissingFolder", "missing/file", ERROR_PATH_NOT_FOUND},
                    OpenFailureCase{"EmptyPath", "", ERROR_PATH_NOT_FOUND},
                    OpenFailureCase{"PathThroughAFile", "file/inner", ERROR_PATH_NOT_FOUND},
                    OpenFailureCase{"Folder", "folder", ERROR_ACCESS_DENIED},
                    OpenFailureCase{"NameTooLong", std::string(300, 'n'),
                                    ERROR_FILENAME_EXCED_RANGE}),
    TestCaseNames::CaseName<OpenFailureCase>);

TEST(CreateFileTest, ReportsWhetherTheFileExistedForDispositionsThatCreate) {
    TemporaryFolder folder;
    const std::string path = folder.PathOf("created");
    const auto create = [&](DWORD disposition) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD error = GetLastError();
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
        return std::make_pair(file != INVALID_HANDLE_VALUE, error);
    };

    EXPECT_EQ(create(OPEN_EXISTING), std::make_pair(false, DWORD{ERROR_FILE_NOT_FOUND}));
    EXPECT_EQ(create(OPEN_ALWAYS), std::make_pair(true, DWORD{0}));
    EXPECT_EQ(create(OPEN_ALWAYS), std::make_pair(true, DWORD{ERROR_ALREADY_EXISTS}));
    EXPECT_EQ(create(CREATE_NEW), std::make_pair(false, DWORD{ERROR_FILE_EXISTS}));
    PlatformTest::WriteFile(path, {1, 2, 3});
    EXPECT_EQ(create(CREATE_ALWAYS), std::make_pair(true, DWORD{ERROR_ALREADY_EXISTS}));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(GetFileTypeTest, TellsDisksCharacterDevicesAndPipesApart) {
    TemporaryFolder folder;
    PlatformTest::WriteFile(folder.PathOf("file"), {1});
    PlatformTest::NamedPipe pipe(folder);
    const struct {
        std::string path;
        DWORD type;
    } cases[] = {{folder.PathOf("file"), FILE_TYPE_DISK},
                 {PlatformTest::CharacterDevicePath(), FILE_TYPE_CHAR},
                 {pipe.Path(), FILE_TYPE_PIPE}};
    for (const auto& item : cases) {
        HANDLE file = OpenForReading(item.path);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << item.path;
        EXPECT_EQ(GetFileType(file), item.type) << item.path;
        EXPECT_TRUE(CloseHandle(file));
    }
}

TEST(HandleTest, AClosedHandleIsRefusedWithInvalidHandle) {
    TemporaryFolder folder;
    PlatformTest::WriteFile(folder.PathOf("file"), {1});
    HANDLE file = OpenForReading(folder.PathOf("file"));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(file));

    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetFileType(file), static_cast<DWORD>(FILE_TYPE_UNKNOWN));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    DWORD high = 0;
    EXPECT_EQ(GetFileSize(file, &high), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// A size or position whose low half is all ones is returned as the failure
// value; only a cleared last error tells the caller that it succeeded.
TEST(LargeFileTest, ClearsTheLastErrorWhenAResultLooksLikeFailure) {
    TemporaryFolder folder;
    const std::string path = folder.PathOf("sparse");
    const std::uint64_t size = 0x1FFFFFFFFull;  // 8 GiB - 1
    PlatformTest::WriteSparseFile(path, size, size - 3, {7, 8, 9});
    HANDLE file = OpenForReading(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);

    LeaveStaleLastError(folder);
    DWORD high = 0;
    EXPECT_EQ(GetFileSize(file, &high), INVALID_FILE_SIZE);
    EXPECT_EQ(high, 1u);
    EXPECT_EQ(GetLastError(), 0u);

    LeaveStaleLastError(folder);
    LONG positionHigh = 1;
    EXPECT_EQ(SetFilePointer(file, -4, &positionHigh, FILE_BEGIN), 0xFFFFFFFCu);
    EXPECT_EQ(positionHigh, 1);
    char bytes[8] = {};
    DWORD read = 99;
    ASSERT_TRUE(ReadFile(file, bytes, sizeof bytes, &read, nullptr));
    EXPECT_EQ(read, 3u);
    EXPECT_EQ(std::vector<char>(bytes, bytes + 3), (std::vector<char>{7, 8, 9}));
    EXPECT_TRUE(ReadFile(file, bytes, sizeof bytes, &read, nullptr));
    EXPECT_EQ(read, 0u) << "at the end a read succeeds with no bytes";

    LeaveStaleLastError(folder);
    positionHigh = 0;
    EXPECT_EQ(SetFilePointer(file, -1, &positionHigh, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(positionHigh, 0);
    EXPECT_EQ(GetLastError(), 0u);

    CloseHandle(file);
}

TEST(SetFilePointerTest, RefusesPositionsBeforeTheStart) {
    TemporaryFolder folder;
    PlatformTest::WriteFile(folder.PathOf("file"), {1, 2, 3});
    HANDLE file = OpenForReading(folder.PathOf("file"));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);

    EXPECT_EQ(SetFilePointer(file, -5, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    LONG high = static_cast<LONG>(0x80000000u);
    EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_END), 2u);
    EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_CURRENT), 1u);
    CloseHandle(file);
}

TEST(FormatMessageTest, AllocatesTheSystemTextEndedByALineBreak) {
    const FormattedText found = FormatSystemText(ERROR_FILE_NOT_FOUND);
    ASSERT_GT(found.count, 2u);
    EXPECT_EQ(found.text.size(), found.count);
    EXPECT_EQ(found.text.substr(found.text.size() - 2), "\r\n");
}

TEST(FormatMessageTest, FillsACallersBufferOnlyWhenTextAndTerminatorFit) {
    const FormattedText reference = FormatSystemText(ERROR_ACCESS_DENIED);
    ASSERT_GT(reference.count, 0u);
    const DWORD flags = FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    std::vector<char> buffer(reference.count + 1, 'x');

    EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_ACCESS_DENIED, 0, buffer.data(),
                             reference.count + 1, nullptr),
              reference.count);
    EXPECT_STREQ(buffer.data(), reference.text.c_str());

    EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_ACCESS_DENIED, 0, buffer.data(), reference.count,
                             nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(FormatMessageTest, FailsForCodesWithoutAText) {
    for (const DWORD code : {0xFFFFFFFFu, 0x20000001u, 0x8007FFFFu}) {
        const FormattedText missing = FormatSystemText(code);
        EXPECT_EQ(missing.count, 0u) << code;
        EXPECT_EQ(missing.lastError, static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND)) << code;
    }
}

TEST(FormatMessageTest, GivesAWrappedSystemErrorCodeItsText) {
    const DWORD wrappedFileNotFound = 0x80070000u | ERROR_FILE_NOT_FOUND;
    const FormattedText wrapped = FormatSystemText(wrappedFileNotFound);
    EXPECT_GT(wrapped.count, 0u);
    EXPECT_EQ(wrapped.text, FormatSystemText(ERROR_FILE_NOT_FOUND).text);
}

TEST(FormatMessageTest, NeedsAMessageSource) {
    const FormattedText noSource =
        FormatSystemText(ERROR_FILE_NOT_FOUND, FORMAT_MESSAGE_ALLOCATE_BUFFER);
    EXPECT_EQ(noSource.count, 0u);
    EXPECT_EQ(noSource.lastError, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// The program's own module has no message table: searched alone it yields
// nothing, and with the system's texts those are found.
TEST(FormatMessageTest, FallsBackFromAModuleWithoutMessagesToTheSystemTexts) {
    const DWORD moduleOnly = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                             FORMAT_MESSAGE_FROM_HMODULE;
    const FormattedText fromModule = FormatSystemText(ERROR_FILE_NOT_FOUND, moduleOnly);
    EXPECT_EQ(fromModule.count, 0u);
    EXPECT_NE(fromModule.lastError, 0u);

    const FormattedText thenSystem =
        FormatSystemText(ERROR_FILE_NOT_FOUND, kSystemTextFlags | FORMAT_MESSAGE_FROM_HMODULE);
    EXPECT_EQ(thenSystem.text, FormatSystemText(ERROR_FILE_NOT_FOUND).text);
}

// Every code that the file layer's two tables name, and the codes it meets
// in practice, has a text of its own.
TEST(FormatMessageTest, KnowsATextForEveryCodeOfTheFileErrorTables) {
    const DWORD codes[] = {0,   2,   3,   5,   6,   12,  15,  17,  18,  19,  20,  21,  22,
                           23,  24,  25,  27,  29,  30,  32,  33,  34,  38,  39,  52,  53,
                           54,  55,  57,  58,  59,  64,  65,  67,  70,  71,  80,  82,  85,
                           86,  87,  88,  107, 108, 111, 112, 117, 123, 124, 125, 131, 132,
                           144, 154, 161, 167, 170, 183, 206, 208, 267, 995, 996, 997, 999};
    for (const DWORD code : codes) {
        const FormattedText found = FormatSystemText(code);
        EXPECT_GT(found.count, 2u) << "no text for " << code;
    }
}

TEST(LocalHeapTest, ZeroInitialisedBlocksAreZeroAndFreeingSucceeds) {
    auto* block = static_cast<unsigned char*>(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, 64));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(block, block + 64), std::vector<unsigned char>(64, 0));
    EXPECT_EQ(LocalFree(block), nullptr);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
}

}  // namespace
