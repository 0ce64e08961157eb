// The Linux stand-ins for the account, executable, shell-folder, path and
// library calls of a crash dump.
#include "platform/posix/shell_posix.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/posix/minidump_posix.hpp"
#include "tests/platform/test_support.hpp"
#include "tests/support/case_name.hpp"

namespace {

namespace fs = std::filesystem;
using PlatformTest::TemporaryFolder;
using TestCaseNames::CaseName;
using TestCaseNames::PrintTo;

// Sets an environment variable for the life of the object, then puts the
// old value back.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, std::optional<std::string> value) : name(name) {
        if (const char* old = std::getenv(name)) {
            previous = old;
        }
        Set(value);
    }
    ~ScopedVariable() { Set(previous); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    void Set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }

    const char* name;
    std::optional<std::string> previous;
};

// ---------------------------------------------------------------------------
// Path helpers

struct PathCase {
    const char* name;
    const char* path;
    const char* fileName;
    const char* withoutExtension;
    const char* renamed;  // with the extension ".dmp"
};

class PathHelpersTest : public testing::TestWithParam<PathCase> {};

TEST_P(PathHelpersTest, FindTheFileNameAndItsExtension) {
    const PathCase& test = GetParam();
    char path[MAX_PATH] = {};
    std::strcpy(path, test.path);
    EXPECT_STREQ(PathFindFileNameA(path), test.fileName);
    EXPECT_EQ(PathFindFileNameA(path), path + (std::strlen(test.path) - std::strlen(test.fileName)))
        << "a pointer into the path itself";

    PathRemoveExtensionA(path);
    EXPECT_STREQ(path, test.withoutExtension);

    std::strcpy(path, test.path);
    ASSERT_TRUE(PathRenameExtensionA(path, ".dmp"));
    EXPECT_STREQ(path, test.renamed);

    std::strcpy(path, test.path);
    PathStripPathA(path);
    EXPECT_STREQ(path, test.fileName);
}

INSTANTIATE_TEST_SUITE_P(Paths, PathHelpersTest,
                         testing::Values(PathCase{"Full", "/usr/bin/Skelvin.exe", "Skelvin.exe",
                                                  "/usr/bin/Skelvin", "/usr/bin/Skelvin.dmp"},
                                         PathCase{"NoExtension", "/usr/bin/Skelvin", "Skelvin",
                                                  "/usr/bin/Skelvin", "/usr/bin/Skelvin.dmp"},
                                         PathCase{"DottedFolder", "/opt/a.b/Skelvin", "Skelvin",
                                                  "/opt/a.b/Skelvin", "/opt/a.b/Skelvin.dmp"},
                                         PathCase{"TwoDots", "/d/relay.list.exe", "relay.list.exe",
                                                  "/d/relay.list", "/d/relay.list.dmp"},
                                         PathCase{"NoFolder", "Skelvin.exe", "Skelvin.exe",
                                                  "Skelvin", "Skelvin.dmp"},
                                         PathCase{"TrailingSlash", "/d/Skelvin/", "Skelvin/",
                                                  "/d/Skelvin/", "/d/Skelvin/.dmp"},
                                         PathCase{"Empty", "", "", "", ".dmp"}),
                         CaseName<PathCase>);

struct AppendCase {
    const char* name;
    const char* path;
    const char* more;
    const char* expected;
};

class PathAppendTest : public testing::TestWithParam<AppendCase> {};

TEST_P(PathAppendTest, JoinsWithOneSlash) {
    char path[MAX_PATH] = {};
    std::strcpy(path, GetParam().path);
    ASSERT_TRUE(PathAppendA(path, GetParam().more));
    EXPECT_STREQ(path, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathAppendTest,
    testing::Values(AppendCase{"Plain", "/home/a", "Quorvane", "/home/a/Quorvane"},
                    AppendCase{"SlashAtTheEnd", "/home/a/", "Quorvane", "/home/a/Quorvane"},
                    AppendCase{"SlashAtTheStart", "/home/a", "/Quorvane", "/home/a/Quorvane"},
                    AppendCase{"Root", "/", "Quorvane", "/Quorvane"},
                    AppendCase{"EmptyPath", "", "Quorvane", "Quorvane"},
                    AppendCase{"NothingMore", "/home/a", "", "/home/a"}),
    CaseName<AppendCase>);

TEST(PathBufferTest, ResultsThatDoNotFitLeaveThePathAlone) {
    char path[MAX_PATH] = {};
    const std::string start(250, 'a');
    std::strcpy(path, start.c_str());
    ASSERT_TRUE(PathAppendA(path, "bcdefgh"));  // 258 characters and the terminator
    EXPECT_FALSE(PathAppendA(path, "x"));
    EXPECT_EQ(std::string(path), start + "/bcdefgh");

    ASSERT_TRUE(PathRenameExtensionA(path, "."));  // the last character that fits
    EXPECT_FALSE(PathRenameExtensionA(path, ".dmp"));
    EXPECT_EQ(std::string(path), start + "/bcdefgh.");
}

// ---------------------------------------------------------------------------
// Account and executable

TEST(AccountTest, UserNameIsTheLoginName) {
    const passwd* account = ::getpwuid(::geteuid());
    ASSERT_NE(account, nullptr);
    const std::string expected = account->pw_name;

    char name[UNLEN + 1] = {};
    DWORD size = sizeof name;
    ASSERT_TRUE(GetUserNameA(name, &size));
    EXPECT_EQ(std::string(name), expected);
    EXPECT_EQ(size, expected.size() + 1) << "counted with its terminator";

    DWORD tooSmall = static_cast<DWORD>(expected.size());
    EXPECT_FALSE(GetUserNameA(name, &tooSmall));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(tooSmall, expected.size() + 1) << "the size needed";
}

TEST(ExecutableTest, ModuleFileNameIsTheRunningProgram) {
    const std::string expected = fs::read_symlink("/proc/self/exe").string();
    char path[MAX_PATH] = {};
    ASSERT_EQ(GetModuleFileNameA(nullptr, path, MAX_PATH), expected.size());
    EXPECT_EQ(std::string(path), expected);

    // Cut short: as much as fits, terminated, and the buffer's size.
    char small[8] = {};
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(small), expected.substr(0, sizeof small - 1));

    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(1), path, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// ---------------------------------------------------------------------------
// The local application-data folder

class LocalApplicationDataTest : public testing::Test {
  protected:
    TemporaryFolder folder;
};

TEST_F(LocalApplicationDataTest, IsTheXdgDataHomeCreatedOnRequest) {
    const std::string dataHome = folder.PathOf("deep/data");
    ScopedVariable variable("XDG_DATA_HOME", dataHome);
    char path[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path),
              E_FAIL)
        << "missing, and not to be created";
    EXPECT_FALSE(fs::exists(dataHome));

    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                               SHGFP_TYPE_CURRENT, path),
              S_OK);
    EXPECT_EQ(std::string(path), dataHome);
    struct stat status {};
    ASSERT_EQ(::stat(dataHome.c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0700u);

    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path),
              S_OK)
        << "now it exists";
}

TEST_F(LocalApplicationDataTest, FallsBackToTheHomeFolder) {
    ScopedVariable home("HOME", folder.Path().string());
    for (const std::optional<std::string>& ignored :
         {std::optional<std::string>{}, std::optional<std::string>{""},
          std::optional<std::string>{"relative/data"}}) {
        ScopedVariable dataHome("XDG_DATA_HOME", ignored);
        char path[MAX_PATH] = {};
        ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                   SHGFP_TYPE_CURRENT, path),
                  S_OK);
        EXPECT_EQ(std::string(path), folder.PathOf(".local/share"));
    }
}

TEST_F(LocalApplicationDataTest, RefusesWhatItCannotGive) {
    char path[MAX_PATH] = {};
    EXPECT_EQ(SHGetFolderPathA(nullptr, 0x0005 /* documents */, nullptr, SHGFP_TYPE_CURRENT, path),
              E_INVALIDARG);

    const std::string tooLong = folder.PathOf(std::string(MAX_PATH, 'a'));
    ScopedVariable longHome("XDG_DATA_HOME", tooLong);
    EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                               SHGFP_TYPE_CURRENT, path),
              HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));

    // A file where the folder should be cannot become one.
    PlatformTest::WriteFile(folder.PathOf("file"), {1});
    ScopedVariable blocked("XDG_DATA_HOME", folder.PathOf("file/data"));
    EXPECT_LT(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                               SHGFP_TYPE_CURRENT, path),
              0);
}

TEST_F(LocalApplicationDataTest, CreateDirectoryMakesOneFolder) {
    const std::string made = folder.PathOf("made");
    EXPECT_TRUE(CreateDirectoryA(made.c_str(), nullptr));
    EXPECT_TRUE(fs::is_directory(made));
    EXPECT_FALSE(CreateDirectoryA(made.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryA(folder.PathOf("missing/made").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

// ---------------------------------------------------------------------------
// Libraries loaded by name

template <typename Function>
Function Found(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

TEST(LibraryTest, BuiltInLibrariesGiveTheStandIns) {
    const HMODULE debugHelp = LoadLibraryA("dbghelp.dll");
    ASSERT_NE(debugHelp, nullptr);
    EXPECT_EQ(LoadLibraryA("DbgHelp.DLL"), debugHelp);
    EXPECT_EQ(LoadLibraryA("dbghelp"), debugHelp);
    EXPECT_EQ(Found<decltype(&MiniDumpWriteDump)>(debugHelp, "MiniDumpWriteDump"),
              &MiniDumpWriteDump);

    const HMODULE shellPaths = LoadLibraryA("shlwapi.dll");
    ASSERT_NE(shellPaths, nullptr);
    EXPECT_EQ(Found<decltype(&PathFindFileNameA)>(shellPaths, "PathFindFileNameA"),
              &PathFindFileNameA);
    EXPECT_EQ(Found<decltype(&PathAppendA)>(shellPaths, "PathAppendA"), &PathAppendA);
    EXPECT_EQ(Found<decltype(&PathRenameExtensionA)>(shellPaths, "PathRenameExtensionA"),
              &PathRenameExtensionA);

    const HMODULE shell = LoadLibraryA("shell32.dll");
    ASSERT_NE(shell, nullptr);
    EXPECT_EQ(Found<decltype(&SHGetFolderPathA)>(shell, "SHGetFolderPathA"), &SHGetFolderPathA);
}

TEST(LibraryTest, UnknownNamesAreNotFound) {
    EXPECT_EQ(LoadLibraryA("kernel32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(LoadLibraryA("dbghelp.dll.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA(""), nullptr);

    const HMODULE shell = LoadLibraryA("shell32.dll");
    EXPECT_EQ(GetProcAddress(shell, "MiniDumpWriteDump"), nullptr)
        << "a function of another library";
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(GetProcAddress(shell, "shgetfolderpatha"), nullptr) << "names are exact";
    int notALibrary = 0;
    EXPECT_EQ(GetProcAddress(&notALibrary, "SHGetFolderPathA"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
