// The crash-dump filter as the driver uses it: exceptions escape a guarded
// call, and the dump files, their names, the counter and the settings are
// checked afterwards. The registry and the dump folder are the tests' own
// (see crash_dump_settings.hpp).
#include "errors/crash_dump.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "errors/exceptions.hpp"
#include "platform/crash_dump_api.hpp"
#include "platform/guarded_call.hpp"
#include "tests/errors/crash_dump_settings.hpp"
#include "tests/support/case_name.hpp"

namespace {

namespace fs = std::filesystem;

using TestCaseNames::CaseName;
using TestCaseNames::PrintTo;

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

constexpr char kSettingsKey[] = "Software\\Quorvane";
constexpr char kCounterKey[] = "Software\\Quorvane\\Minidumps";
constexpr DWORD kNoLimit = 0xFFFFFFFFu;

class SettingsIsolation : public testing::Environment {
  public:
    void SetUp() override { DumpSettings::IsolateSettings(); }
};

[[maybe_unused]] testing::Environment* const isolation =
    testing::AddGlobalTestEnvironment(new SettingsIsolation);

std::string Joined(const std::vector<std::string>& parts) {
    std::string path;
    for (const std::string& part : parts) {
        if (!path.empty()) {
            path += kSeparator;
        }
        path += part;
    }
    return path;
}

void SetValue(HKEY root, const char* key, const char* name, DWORD type,
              const std::vector<BYTE>& bytes) {
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(opened, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(opened);
}

std::vector<BYTE> DwordBytes(DWORD value) {
    std::vector<BYTE> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

void SetDword(HKEY root, const char* key, const char* name, DWORD value) {
    SetValue(root, key, name, REG_DWORD, DwordBytes(value));
}

void SetMachineSetting(const char* name, DWORD value) {
    SetDword(HKEY_LOCAL_MACHINE, kSettingsKey, name, value);
}

bool KeyExists(HKEY root, const char* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(opened);
    return true;
}

std::optional<DWORD> ReadCounter(const std::string& valueName) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kCounterKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    const LONG result = RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        return std::nullopt;
    }
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, sizeof value);
    return value;
}

std::string ExecutablePath() {
    char path[MAX_PATH] = {};
    EXPECT_NE(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
    return path;
}

// The test program's own file name ("crash_dump_tests.exe"): the counter's
// value name.
std::string ExecutableFileName() {
    return PathFindFileNameA(ExecutablePath().c_str());
}

// Its name without the extension: the start of every dump file's name.
std::string ExecutableStem() {
    char name[MAX_PATH] = {};
    const std::string fileName = ExecutableFileName();
    std::memcpy(name, fileName.c_str(), fileName.size() + 1);
    PathRemoveExtensionA(name);
    return name;
}

fs::path LocalApplicationData() {
    char path[MAX_PATH] = {};
    EXPECT_GE(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                               SHGFP_TYPE_CURRENT, path),
              0);
    return fs::path(path);
}

fs::path DumpFolder() {
    return LocalApplicationData() / "Quorvane";
}

std::string DumpName(std::optional<DWORD> number) {
    return ExecutableStem() + (number ? "_" + std::to_string(*number) : std::string()) + ".dmp";
}

// The names of the regular files in the dump folder, sorted.
std::vector<std::string> DumpFiles() {
    std::vector<std::string> names;
    std::error_code missing;
    for (const fs::directory_entry& entry : fs::directory_iterator(DumpFolder(), missing)) {
        if (entry.is_regular_file()) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint8_t> ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename Value>
Value ReadAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    Value value{};
    if (offset + sizeof value <= bytes.size()) {
        std::memcpy(&value, bytes.data() + offset, sizeof value);
    }
    return value;
}

// What a dump file says about itself: its signature, its type flags and the
// code in its exception stream (0 without one).
struct DumpSummary {
    std::uint32_t signature = 0;
    std::uint64_t flags = 0;
    std::uint32_t exceptionCode = 0;
    std::uint32_t exceptionThreadId = 0;
};

DumpSummary Summarise(const fs::path& path) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    DumpSummary summary;
    summary.signature = ReadAt<std::uint32_t>(bytes, 0);
    summary.flags = ReadAt<std::uint64_t>(bytes, 24);
    const auto streams = ReadAt<std::uint32_t>(bytes, 8);
    const auto directory = ReadAt<std::uint32_t>(bytes, 12);
    for (std::uint32_t index = 0; index < streams && index < 64; ++index) {
        const std::size_t entry = directory + std::size_t{index} * 12;
        if (ReadAt<std::uint32_t>(bytes, entry) == 6) {
            const auto stream = ReadAt<std::uint32_t>(bytes, entry + 8);
            summary.exceptionThreadId = ReadAt<std::uint32_t>(bytes, stream);
            summary.exceptionCode = ReadAt<std::uint32_t>(bytes, stream + 8);
        }
    }
    return summary;
}

constexpr std::uint32_t kDumpSignature = 0x504D444D;  // "MDMP"

template <typename Exception>
void Throw(void*) {
    throw Exception();
}

// Lets a default-made `Exception` escape a call guarded by the crash-dump
// filter, as the driver's report would, and catches it afterwards.
template <typename Exception>
void EscapeThroughFilter() {
    bool caught = false;
    try {
        CallWithExceptionFilter(&Throw<Exception>, nullptr, CrashDumpFilter);
    } catch (...) {
        caught = true;
    }
    EXPECT_TRUE(caught);
}

class CrashDumpTest : public testing::Test {
  protected:
    void SetUp() override { ClearAll(); }
    void TearDown() override { ClearAll(); }

    static void ClearAll() {
        DumpSettings::ClearSettings();
        std::error_code ignored;
        fs::remove_all(DumpFolder(), ignored);
    }
};

// ---------------------------------------------------------------------------
// Dump file numbers in the file name

struct AppendCase {
    const char* name;
    std::string path;
    DWORD number;
    bool succeeds;
    std::string expected;  // the path afterwards, when it succeeds
};

class AppendDumpNumberTest : public testing::TestWithParam<AppendCase> {};

TEST_P(AppendDumpNumberTest, ReplacesTheExtensionByTheNumber) {
    const AppendCase& test = GetParam();
    ASSERT_LT(test.path.size(), kDumpPathCapacity);
    char path[kDumpPathCapacity] = {};
    std::memcpy(path, test.path.c_str(), test.path.size() + 1);
    EXPECT_EQ(AppendDumpNumber(path, test.number), test.succeeds);
    if (test.succeeds) {
        EXPECT_EQ(std::string(path), test.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AppendDumpNumberTest,
    testing::Values(
        AppendCase{"ExtensionReplaced", Joined({"d", "Skelvin.exe"}), 0, true,
                   Joined({"d", "Skelvin_0"})},
        AppendCase{"NoExtension", Joined({"d", "Skelvin"}), 12, true, Joined({"d", "Skelvin_12"})},
        AppendCase{"OnlyTheLastExtension", Joined({"d", "relay.list.exe"}), 7, true,
                   Joined({"d", "relay.list_7"})},
        AppendCase{"DotInAFolder", Joined({"d.x", "Skelvin"}), 3, true,
                   Joined({"d.x", "Skelvin_3"})},
        AppendCase{"LargestPositive", "Skelvin.exe", 2147483647, true, "Skelvin_2147483647"},
        // The number is written as a signed 32-bit number: 2^31 and above
        // come out negative, still one name per number.
        AppendCase{"HighBitSigned", "Skelvin.exe", 0x80000000u, true, "Skelvin_-2147483648"},
        AppendCase{"AllBitsSigned", "Skelvin.exe", 0xFFFFFFFFu, true, "Skelvin_-1"},
        // Room for the digits ends one byte before the buffer does.
        AppendCase{"OneDigitFitsAtTheEnd", std::string(256, 'a'), 7, true,
                   std::string(256, 'a') + "_7"},
        AppendCase{"TwoDigitsDoNotFit", std::string(256, 'a'), 10, false, ""},
        AppendCase{"NoRoomForAnyDigit", std::string(257, 'a'), 0, false, ""},
        AppendCase{"NoRoomForTheUnderscore", std::string(258, 'a'), 0, false, ""},
        AppendCase{"ExtensionMakesRoom", std::string(254, 'a') + ".exe", 5, true,
                   std::string(254, 'a') + "_5"}),
    CaseName<AppendCase>);

// ---------------------------------------------------------------------------
// The counter

TEST_F(CrashDumpTest, NumbersCountUpAndStartAgainAtTheLimit) {
    const std::string path = Joined({"folder", "Skelvin.exe"});
    std::vector<DWORD> numbers;
    for (int dump = 0; dump < 7; ++dump) {
        numbers.push_back(NextDumpNumber(path.c_str(), 5));
    }
    EXPECT_EQ(numbers, (std::vector<DWORD>{0, 1, 2, 3, 4, 0, 1}));
    EXPECT_EQ(ReadCounter("Skelvin.exe"), 2u);
}

TEST_F(CrashDumpTest, StoredNumberAboveALoweredLimitIsUsedOnce) {
    SetDword(HKEY_CURRENT_USER, kCounterKey, "Skelvin.exe", 4);
    EXPECT_EQ(NextDumpNumber("Skelvin.exe", 3), 4u);
    EXPECT_EQ(ReadCounter("Skelvin.exe"), 2u);
}

TEST_F(CrashDumpTest, WithoutLimitNumbersRunToTheLargest) {
    SetDword(HKEY_CURRENT_USER, kCounterKey, "Skelvin.exe", 7);
    EXPECT_EQ(NextDumpNumber("Skelvin.exe", kNoLimit), 7u);
    EXPECT_EQ(ReadCounter("Skelvin.exe"), 8u);
    SetDword(HKEY_CURRENT_USER, kCounterKey, "Skelvin.exe", 0xFFFFFFFEu);
    EXPECT_EQ(NextDumpNumber("Skelvin.exe", kNoLimit), 0xFFFFFFFEu);
    EXPECT_EQ(ReadCounter("Skelvin.exe"), 0u);
}

TEST_F(CrashDumpTest, EveryExecutableFileNameHasItsOwnCounter) {
    EXPECT_EQ(NextDumpNumber(Joined({"a", "Skelvin.exe"}).c_str(), 5), 0u);
    EXPECT_EQ(NextDumpNumber(Joined({"b", "Other.exe"}).c_str(), 5), 0u);
    // The folder plays no part: the same file name elsewhere shares it.
    EXPECT_EQ(NextDumpNumber(Joined({"c", "Skelvin.exe"}).c_str(), 5), 1u);
    EXPECT_EQ(ReadCounter("Skelvin.exe"), 2u);
    EXPECT_EQ(ReadCounter("Other.exe"), 1u);
}

TEST_F(CrashDumpTest, PathLongerThanABufferGivesZeroAndStoresNothing) {
    const std::string path = std::string(kDumpPathCapacity, 'a') + ".exe";
    EXPECT_EQ(NextDumpNumber(path.c_str(), 5), 0u);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kCounterKey));
}

// ---------------------------------------------------------------------------
// The settings

struct SettingsCase {
    const char* name;
    std::function<void()> arrange;
    DWORD maxDumpFiles;
    bool enabled;
};

class SettingsTest : public CrashDumpTest, public testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsTest, AreReadAsNumbersWithDefaults) {
    GetParam().arrange();
    EXPECT_EQ(ReadMaxDumpFiles(), GetParam().maxDumpFiles);
    EXPECT_EQ(MiniDumpsEnabled(), GetParam().enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Registry, SettingsTest,
    testing::Values(
        SettingsCase{"NoKey", [] {}, 5, true},
        SettingsCase{"KeyWithoutValues",
                     [] { SetDword(HKEY_LOCAL_MACHINE, kSettingsKey, "Unrelated", 0); }, 5, true},
        SettingsCase{"Stored",
                     [] {
                         SetMachineSetting("MaxDumpFiles", 3);
                         SetMachineSetting("WriteMiniDumps", 0);
                     },
                     3, false},
        SettingsCase{"AnyNonZeroEnables", [] { SetMachineSetting("WriteMiniDumps", 2); }, 5, true},
        SettingsCase{"SingleFile", [] { SetMachineSetting("MaxDumpFiles", 1); }, 1, true},
        SettingsCase{"StoredZeroMeansNoLimit", [] { SetMachineSetting("MaxDumpFiles", 0); },
                     kNoLimit, true},
        SettingsCase{"TypeIsIgnored",
                     [] {
                         SetValue(HKEY_LOCAL_MACHINE, kSettingsKey, "MaxDumpFiles", REG_BINARY,
                                  {3, 0, 0, 0});
                         SetValue(HKEY_LOCAL_MACHINE, kSettingsKey, "WriteMiniDumps", REG_BINARY,
                                  {0, 0, 0, 0});
                     },
                     3, false},
        // A shorter value takes the place of the default's first bytes.
        SettingsCase{
            "ShortValueReplacesFirstBytes",
            [] {
                SetValue(HKEY_LOCAL_MACHINE, kSettingsKey, "MaxDumpFiles", REG_BINARY, {2});
                SetValue(HKEY_LOCAL_MACHINE, kSettingsKey, "WriteMiniDumps", REG_BINARY, {0});
            },
            2, false},
        SettingsCase{"LongerValueKeepsTheDefault",
                     [] {
                         SetValue(HKEY_LOCAL_MACHINE, kSettingsKey, "MaxDumpFiles", REG_QWORD,
                                  {3, 0, 0, 0, 0, 0, 0, 0});
                         SetValue(HKEY_LOCAL_MACHINE, kSettingsKey, "WriteMiniDumps", REG_BINARY,
                                  {0, 0, 0, 0, 0});
                     },
                     5, true},
        SettingsCase{"OnlyTheMachineSettingsCount",
                     [] {
                         SetDword(HKEY_CURRENT_USER, kSettingsKey, "MaxDumpFiles", 2);
                         SetDword(HKEY_CURRENT_USER, kSettingsKey, "WriteMiniDumps", 0);
                     },
                     5, true}),
    CaseName<SettingsCase>);

// ---------------------------------------------------------------------------
// Dumps of escaping exceptions

TEST_F(CrashDumpTest, WithoutSettingsFiveNumberedFilesTakeTurns) {
    for (DWORD dump = 0; dump < 5; ++dump) {
        EscapeThroughFilter<BadDNSReply>();
        EXPECT_EQ(ReadCounter(ExecutableFileName()), (dump + 1) % 5);
    }
    std::vector<std::string> expected;
    for (DWORD number = 0; number < 5; ++number) {
        expected.push_back(DumpName(number));
    }
    EXPECT_EQ(DumpFiles(), expected);

    // The sixth dump replaces the first.
    fs::resize_file(DumpFolder() / DumpName(0), 0);
    EscapeThroughFilter<BadDNSReply>();
    EXPECT_EQ(DumpFiles(), expected);
    EXPECT_GT(fs::file_size(DumpFolder() / DumpName(0)), 0u);
    EXPECT_EQ(ReadCounter(ExecutableFileName()), 1u);
}

TEST_F(CrashDumpTest, DumpHoldsTheThrownExceptionOfThisThread) {
    EscapeThroughFilter<BadDNSReply>();
    const DumpSummary dump = Summarise(DumpFolder() / DumpName(0));
    EXPECT_EQ(dump.signature, kDumpSignature);
    EXPECT_EQ(dump.flags, 0u) << "the normal dump";
    EXPECT_EQ(dump.exceptionCode, 0xE06D7363u);
    EXPECT_EQ(dump.exceptionThreadId, GetCurrentThreadId());
}

TEST_F(CrashDumpTest, DumpTypeComesFromTheUserSettings) {
    SetDword(HKEY_CURRENT_USER, kSettingsKey, "MINIDUMP_TYPE", MiniDumpFilterModulePaths);
    EscapeThroughFilter<BadDNSReply>();
    const DumpSummary dump = Summarise(DumpFolder() / DumpName(0));
    EXPECT_EQ(dump.signature, kDumpSignature);
    EXPECT_EQ(dump.flags & MiniDumpFilterModulePaths,
              static_cast<std::uint64_t>(MiniDumpFilterModulePaths));
}

struct ThrownCase {
    const char* name;
    void (*escape)();
};

class DumpedExceptionTest : public CrashDumpTest, public testing::WithParamInterface<ThrownCase> {};

TEST_P(DumpedExceptionTest, IsWrittenToADump) {
    GetParam().escape();
    EXPECT_EQ(DumpFiles(), std::vector<std::string>{DumpName(0)});
    EXPECT_EQ(ReadCounter(ExecutableFileName()), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    ThrownObjects, DumpedExceptionTest,
    testing::Values(ThrownCase{"ReplyWithoutBase", &EscapeThroughFilter<BadDNSReply>},
                    ThrownCase{"FamilyMember", &EscapeThroughFilter<BadDNSRecord>},
                    ThrownCase{"StandardException", &EscapeThroughFilter<std::bad_alloc>},
                    ThrownCase{"NotAClass", &EscapeThroughFilter<int>}),
    CaseName<ThrownCase>);

struct RefusedFailure : public std::runtime_error, public NonDumpableException {
    RefusedFailure() : std::runtime_error("refused") {}
};
struct DerivedRefusal : public RefusedFailure {};

TEST_F(CrashDumpTest, NonDumpableExceptionsLeaveNoTrace) {
    EscapeThroughFilter<NonDumpableException>();
    EscapeThroughFilter<RefusedFailure>();
    EscapeThroughFilter<DerivedRefusal>();
    EXPECT_FALSE(fs::exists(DumpFolder()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kCounterKey));
}

TEST_F(CrashDumpTest, DisabledDumpsLeaveNoTrace) {
    SetMachineSetting("WriteMiniDumps", 0);
    EscapeThroughFilter<BadDNSReply>();
    EXPECT_FALSE(fs::exists(DumpFolder()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kCounterKey));
}

TEST_F(CrashDumpTest, SingleFileLimitUsesOneFileWithoutNumberOrCounter) {
    SetMachineSetting("MaxDumpFiles", 1);
    EscapeThroughFilter<BadDNSReply>();
    EscapeThroughFilter<BadDNSRecord>();
    EXPECT_EQ(DumpFiles(), std::vector<std::string>{DumpName(std::nullopt)});
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kCounterKey));
}

TEST_F(CrashDumpTest, NoLimitDoesNotWrap) {
    SetMachineSetting("MaxDumpFiles", 0);
    SetDword(HKEY_CURRENT_USER, kCounterKey, ExecutableFileName().c_str(), 7);
    EscapeThroughFilter<BadDNSReply>();
    EXPECT_EQ(DumpFiles(), std::vector<std::string>{DumpName(7)});
    EXPECT_EQ(ReadCounter(ExecutableFileName()), 8u);
}

TEST_F(CrashDumpTest, LoweredLimitUsesTheStoredNumberOnce) {
    SetMachineSetting("MaxDumpFiles", 3);
    SetDword(HKEY_CURRENT_USER, kCounterKey, ExecutableFileName().c_str(), 4);
    EscapeThroughFilter<BadDNSReply>();
    EXPECT_EQ(DumpFiles(), std::vector<std::string>{DumpName(4)});
    EXPECT_EQ(ReadCounter(ExecutableFileName()), 2u);
}

TEST_F(CrashDumpTest, FileThatCannotBeCreatedStillUsesUpItsNumber) {
    // A folder where the dump file should go: not even an administrator can
    // create the file there.
    fs::create_directories(DumpFolder() / DumpName(0));
    EscapeThroughFilter<BadDNSReply>();
    EXPECT_EQ(DumpFiles(), std::vector<std::string>{});
    EXPECT_EQ(ReadCounter(ExecutableFileName()), 1u);

    EscapeThroughFilter<BadDNSReply>();
    EXPECT_EQ(DumpFiles(), std::vector<std::string>{DumpName(1)});
}

[[noreturn]] void Fault(void*) {
    // An address the compiler cannot prove invalid, so that the store stays.
    volatile std::uintptr_t address = 16;
    *reinterpret_cast<volatile int*>(address) = 1;
    std::abort();
}

TEST_F(CrashDumpTest, ProcessorFaultIsNeverDumped) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(CallWithExceptionFilter(&Fault, nullptr, CrashDumpFilter), "");
    EXPECT_FALSE(fs::exists(DumpFolder()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kCounterKey));
}

#ifndef _WIN32

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    return {bytes.begin(), bytes.end()};
}

TEST_F(CrashDumpTest, DamagedUserSettingsGiveNumberZeroAndStayUntouched) {
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Quorvane]\n"
        "\"MINIDUMP_TYPE\"=dword:zz\n";
    WriteText(DumpSettings::UserHivePath(), damaged);
    EscapeThroughFilter<BadDNSReply>();
    EscapeThroughFilter<BadDNSReply>();
    EXPECT_EQ(DumpFiles(), std::vector<std::string>{DumpName(0)});
    EXPECT_EQ(Summarise(DumpFolder() / DumpName(0)).flags, 0u);
    EXPECT_EQ(ReadText(DumpSettings::UserHivePath()), damaged);
}

TEST_F(CrashDumpTest, DamagedMachineSettingsGiveTheDefaults) {
    const std::string damaged = "not a registry file\n\"WriteMiniDumps\"=dword:00000000\n";
    WriteText(DumpSettings::MachineHivePath(), damaged);
    EXPECT_TRUE(MiniDumpsEnabled());
    EXPECT_EQ(ReadMaxDumpFiles(), 5u);
    EscapeThroughFilter<BadDNSReply>();
    EXPECT_EQ(DumpFiles(), std::vector<std::string>{DumpName(0)});
    EXPECT_EQ(ReadText(DumpSettings::MachineHivePath()), damaged);
}

TEST_F(CrashDumpTest, SettingsFileWrittenByAnAdministratorIsHonoured) {
    WriteText(DumpSettings::MachineHivePath(),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "; keep two dumps per program\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Quorvane]\r\n"
              "\"MaxDumpFiles\"=dword:00000002\r\n");
    for (int dump = 0; dump < 3; ++dump) {
        EscapeThroughFilter<BadDNSReply>();
    }
    EXPECT_EQ(DumpFiles(), (std::vector<std::string>{DumpName(0), DumpName(1)}));
    EXPECT_EQ(ReadCounter(ExecutableFileName()), 1u);
}

#endif

}  // namespace
