#include "files/file_reading_path.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "files/file_errors.hpp"
#include "platform/win32_api.hpp"
#include "tests/files/file_test_fixture.hpp"
#include "tests/platform/test_support.hpp"

namespace {

using WindowsPlatform::FileReadingPath;

struct OpenFailure {
    std::string className;
    std::uint32_t code = 0;
    std::string path;
    std::string message;
};

std::optional<OpenFailure> OpenFailureOf(const std::string& path) {
    try {
        FileReadingPath file{FilePath(path.c_str())};
    } catch (const FileIOError& caught) {
        return OpenFailure{RunTimeClassName(caught), caught.Code(), caught.Path(), caught.what()};
    }
    return std::nullopt;
}

using FileReadingPathTest = FileLayerTest;

TEST_F(FileReadingPathTest, ReportsAMissingFileWithoutCreatingIt) {
    const std::string path = folder.PathOf("Relays.dat");
    const auto failure = OpenFailureOf(path);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->className, "class FileNotFoundError");
    EXPECT_EQ(failure->code, 2u);
    EXPECT_EQ(failure->path, path);
    EXPECT_FALSE(std::filesystem::exists(path));
    RecordProperty("missingFileMessage", failure->message);
}

TEST_F(FileReadingPathTest, ReportsAMissingFolder) {
    const std::string path = folder.PathOf("missing") + "/Relays.dat";
    const auto failure = OpenFailureOf(path);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->className, "class DirectoryNotFoundError");
    EXPECT_EQ(failure->code, 3u);
    EXPECT_EQ(failure->path, path);
}

TEST_F(FileReadingPathTest, ReportsAnEmptyPathWithoutNamingIt) {
    const auto failure = OpenFailureOf("");
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->className, "class DirectoryNotFoundError");
    EXPECT_EQ(failure->code, 3u);
    EXPECT_EQ(failure->message.rfind(
                  "File error \"class DirectoryNotFoundError\": Windows Error: 3: ", 0),
              0u)
        << failure->message;
}

// Anything but an ordinary file on a disk is refused as a permission error,
// and the handle obtained on the way is closed again (which the fixture
// checks where the platform can count handles).
TEST_F(FileReadingPathTest, RefusesWhatIsNotAnOrdinaryFile) {
    std::filesystem::create_directory(folder.Path() / "folder");
    PlatformTest::NamedPipe pipe(folder);
    const std::optional<std::string> socket = PlatformTest::LocalSocketPath(folder);

    std::vector<std::pair<const char*, std::string>> cases = {
        {"folder", folder.PathOf("folder")},
        {"character device", PlatformTest::CharacterDevicePath()},
        {"pipe", pipe.Path()},
    };
    if (socket.has_value()) {
        cases.emplace_back("socket", *socket);
    }
    for (const auto& [kind, path] : cases) {
        const auto failure = OpenFailureOf(path);
        ASSERT_TRUE(failure.has_value()) << kind << " opened";
        EXPECT_EQ(failure->className, "class FilePermissionError") << kind;
        EXPECT_EQ(failure->code, 5u) << kind;
        EXPECT_EQ(failure->path, path) << kind;
    }
}

TEST_F(FileReadingPathTest, StoresThePathWithoutTrailingSeparatorsAndHoldsTheFileOpen) {
    const std::string path = folder.PathOf("Relays.dat");
    PlatformTest::WriteFile(path, {1, 2, 3});
    {
        const FileReadingPath file{FilePath((path + "//").c_str())};
        EXPECT_EQ(file.Path().ToString(), path);
        EXPECT_NE(file.Handle(), nullptr);
        EXPECT_EQ(file.GetSize(), 3u);
        EXPECT_TRUE(PlatformTest::IsFileOpen(path));
    }
    EXPECT_FALSE(PlatformTest::IsFileOpen(path));
}

TEST_F(FileReadingPathTest, ReportsSizesInFull) {
    const struct {
        const char* name;
        std::uint64_t size;
    } cases[] = {
        {"empty", 0},
        {"small", 5},
        {"low half all ones", 0xFFFFFFFFull},
        {"above 4 GiB", 0x140000003ull},
    };
    for (const auto& item : cases) {
        const std::string path = folder.PathOf("sized");
        PlatformTest::WriteSparseFile(path, item.size, 0, {});
        const FileReadingPath file{FilePath(path.c_str())};
        // A failed call before leaves a stale error that must not be taken
        // for a failure of the size.
        EXPECT_EQ(CreateFileA(folder.PathOf("missing").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(file.GetSize(), item.size) << item.name;
    }
}

TEST_F(FileReadingPathTest, DropsAFailureToClose) {
    const std::string path = folder.PathOf("Relays.dat");
    PlatformTest::WriteFile(path, {1});
    EXPECT_NO_THROW({
        FileReadingPath file{FilePath(path.c_str())};
        // Closed behind the object's back, the handle fails to close again.
        ASSERT_TRUE(CloseHandle(file.Handle()));
    });
}

}  // namespace
