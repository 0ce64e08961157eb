// The Linux stand-ins' own choices: how errno values become Windows codes,
// and what the platform has no counterpart for.
#include "platform/posix/errno_mapping.hpp"
#include "tests/support/case_name.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <ostream>
#include <string>

#include "platform/win32_api.hpp"
#include "tests/platform/test_support.hpp"

namespace {

using PlatformTest::TemporaryFolder;
using PosixPlatform::WindowsErrorFromErrno;

struct ErrnoCase {
    const char* name;
    int errorNumber;
    DWORD expected;
};

void PrintTo(const ErrnoCase& item, std::ostream* out) {
    *out << item.name;
}

class ErrnoMappingTest : public testing::TestWithParam<ErrnoCase> {};

TEST_P(ErrnoMappingTest, GivesTheWindowsCode) {
    EXPECT_EQ(WindowsErrorFromErrno(GetParam().errorNumber), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ErrnoMappingTest,
    testing::Values(
        ErrnoCase{"None", 0, ERROR_SUCCESS}, ErrnoCase{"ENOENT", ENOENT, ERROR_FILE_NOT_FOUND},
        ErrnoCase{"ENOTDIR", ENOTDIR, ERROR_PATH_NOT_FOUND},
        ErrnoCase{"ENAMETOOLONG", ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
        ErrnoCase{"ELOOP", ELOOP, ERROR_CANT_RESOLVE_FILENAME},
        ErrnoCase{"EACCES", EACCES, ERROR_ACCESS_DENIED},
        ErrnoCase{"EPERM", EPERM, ERROR_ACCESS_DENIED},
        ErrnoCase{"EISDIR", EISDIR, ERROR_ACCESS_DENIED},
        ErrnoCase{"ENXIO", ENXIO, ERROR_ACCESS_DENIED},
        ErrnoCase{"ENODEV", ENODEV, ERROR_ACCESS_DENIED},
        ErrnoCase{"EROFS", EROFS, ERROR_WRITE_PROTECT},
        ErrnoCase{"ETXTBSY", ETXTBSY, ERROR_SHARING_VIOLATION},
        ErrnoCase{"EBUSY", EBUSY, ERROR_BUSY}, ErrnoCase{"EEXIST", EEXIST, ERROR_FILE_EXISTS},
        ErrnoCase{"EMFILE", EMFILE, ERROR_TOO_MANY_OPEN_FILES},
        ErrnoCase{"ENFILE", ENFILE, ERROR_TOO_MANY_OPEN_FILES},
        ErrnoCase{"ENOMEM", ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
        ErrnoCase{"ENOSPC", ENOSPC, ERROR_DISK_FULL}, ErrnoCase{"EDQUOT", EDQUOT, ERROR_DISK_FULL},
        ErrnoCase{"EFBIG", EFBIG, ERROR_FILE_TOO_LARGE},
        ErrnoCase{"EOVERFLOW", EOVERFLOW, ERROR_FILE_TOO_LARGE},
        ErrnoCase{"EBADF", EBADF, ERROR_INVALID_HANDLE},
        ErrnoCase{"EINVAL", EINVAL, ERROR_INVALID_PARAMETER},
        ErrnoCase{"ESPIPE", ESPIPE, ERROR_SEEK_ON_DEVICE}, ErrnoCase{"EIO", EIO, ERROR_IO_DEVICE},
        ErrnoCase{"EINTR", EINTR, ERROR_OPERATION_ABORTED},
        ErrnoCase{"EOPNOTSUPP", EOPNOTSUPP, ERROR_NOT_SUPPORTED},
        ErrnoCase{"EPROTO", EPROTO, PosixPlatform::kUnmappedErrnoFlag | EPROTO}),
    TestCaseNames::CaseName<ErrnoCase>);

TEST(ErrnoMappingTest, TellsAMissingFileFromAMissingFolder) {
    TemporaryFolder folder;
    PlatformTest::WriteFile(folder.PathOf("file"), {1});
    const struct {
        std::string path;
        DWORD expected;
    } cases[] = {
        {folder.PathOf("missing"), ERROR_FILE_NOT_FOUND},
        {folder.PathOf("missing") + "/", ERROR_FILE_NOT_FOUND},
        {"relative-name-without-folder", ERROR_FILE_NOT_FOUND},
        {folder.PathOf("missing") + "/file", ERROR_PATH_NOT_FOUND},
        {folder.PathOf("missing") + "/deeper/file", ERROR_PATH_NOT_FOUND},
        {folder.PathOf("file") + "/inner", ERROR_PATH_NOT_FOUND},
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& item : cases) {
        EXPECT_EQ(WindowsErrorFromErrno(ENOENT, item.path.c_str()), item.expected) << item.path;
    }
}

TEST(ErrnoMappingTest, KeepsErrnoAcrossTheFolderCheck) {
    errno = ENOENT;
    WindowsErrorFromErrno(ENOENT, "/surely/missing/folder/file");
    EXPECT_EQ(errno, ENOENT);
}

// Every code the stand-ins can set has a text, so a failure never shows as
// an unknown error unless errno had no Windows counterpart.
TEST(ErrnoMappingTest, EveryMappedCodeHasASystemText) {
    for (int errorNumber = 1; errorNumber < 134; ++errorNumber) {
        const DWORD code = WindowsErrorFromErrno(errorNumber);
        if ((code & PosixPlatform::kUnmappedErrnoFlag) != 0) {
            continue;
        }
        char* buffer = nullptr;
        const DWORD count =
            FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                               FORMAT_MESSAGE_FROM_SYSTEM,
                           nullptr, code, 0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
        EXPECT_GT(count, 0u) << "errno " << errorNumber << " gives " << code;
        LocalFree(buffer);
    }
}

TEST(PosixFileTest, RefusesASocketAsAccessDenied) {
    TemporaryFolder folder;
    const std::string socket = PlatformTest::LocalSocketPath(folder).value();
    EXPECT_EQ(CreateFileA(socket.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

// The real local heap cannot be handed foreign memory safely; the
// stand-in's blocks carry a signature, so it refuses such memory as
// Windows documents.
TEST(PosixLocalHeapTest, RefusesToFreeMemoryItDidNotAllocate) {
    alignas(16) unsigned char foreign[64] = {};
    void* const inside = foreign + 32;
    EXPECT_EQ(LocalFree(inside), inside);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(PosixLocalHeapTest, RefusesMovableMemory) {
    EXPECT_EQ(LocalAlloc(LMEM_MOVEABLE, 16), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
