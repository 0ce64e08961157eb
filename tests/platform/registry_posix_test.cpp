// The Linux registry stand-in's own side: the hive files it reads and
// writes, where they lie, how they are replaced, and what it does with files
// it does not understand.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/win32_api.hpp"
#include "tests/platform/test_support.hpp"
#include "tests/support/case_name.hpp"

namespace {

using namespace std::string_literals;
using PlatformTest::TemporaryFolder;
using TestCaseNames::PrintTo;
using Bytes = std::vector<std::uint8_t>;

constexpr LSTATUS Status(DWORD code) {
    return static_cast<LSTATUS>(code);
}

// ---------------------------------------------------------------------------
// Files and their encodings.

Bytes Utf8(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

std::string WithCrLf(std::string_view text) {
    std::string result;
    for (const char c : text) {
        if (c == '\n') {
            result += '\r';
        }
        result += c;
    }
    return result;
}

// UTF-16LE of well-formed UTF-8 `text`, without a byte order mark.
Bytes Utf16(std::string_view text) {
    Bytes bytes;
    const auto unit = [&](std::uint32_t value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::uint32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            point = (point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += length;
        if (point >= 0x10000) {
            unit(0xD800 + ((point - 0x10000) >> 10));
            unit(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            unit(point);
        }
    }
    return bytes;
}

Bytes Concatenated(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const Bytes kUtf16Mark = {0xFF, 0xFE};
const Bytes kUtf8Mark = {0xEF, 0xBB, 0xBF};

enum class FileForm { Utf8, Utf8WithMarkCrLf, Utf16CrLf };

Bytes FileOf(std::string_view text, FileForm form) {
    switch (form) {
        case FileForm::Utf8:
            return Utf8(text);
        case FileForm::Utf8WithMarkCrLf:
            return Concatenated({kUtf8Mark, Utf8(WithCrLf(text))});
        case FileForm::Utf16CrLf:
            return Concatenated({kUtf16Mark, Utf16(WithCrLf(text))});
    }
    return {};
}

Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

// ---------------------------------------------------------------------------
// The calls.

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

LSTATUS OpenKey(HKEY parent, const std::string& subKey, Key& key, REGSAM access = KEY_ALL_ACCESS) {
    HKEY opened = nullptr;
    const LSTATUS status = RegOpenKeyExA(parent, subKey.c_str(), 0, access, &opened);
    key.reset(opened);
    return status;
}

LSTATUS CreateKey(HKEY parent, const std::string& subKey, Key* key = nullptr) {
    HKEY created = nullptr;
    const LSTATUS status =
        RegCreateKeyExA(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &created, nullptr);
    if (key != nullptr) {
        key->reset(created);
    } else if (created != nullptr) {
        RegCloseKey(created);
    }
    return status;
}

LSTATUS SetValue(HKEY key, const char* name, DWORD type, const Bytes& data) {
    return RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
}

Bytes DwordBytes(DWORD number) {
    return {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
}

struct Queried {
    LSTATUS status = 0;
    DWORD type = 0xDEAD;
    DWORD size = 0;
    std::string data;
};

Queried QueryValue(HKEY key, const char* name, DWORD room = 1024) {
    Queried result;
    std::vector<char> buffer(room + 1);
    result.size = room;
    result.status = RegQueryValueExA(key, name, nullptr, &result.type,
                                     reinterpret_cast<LPBYTE>(buffer.data()), &result.size);
    if (result.status == Status(ERROR_SUCCESS)) {
        result.data.assign(buffer.data(), result.size);
    }
    return result;
}

// Sets environment variables for a test and puts back what was there.
class EnvironmentVariables {
  public:
    EnvironmentVariables(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            const char* value = std::getenv(name);
            saved[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
        }
    }
    ~EnvironmentVariables() {
        for (const auto& [name, value] : saved) {
            Set(name.c_str(), value ? value->c_str() : nullptr);
        }
    }
    EnvironmentVariables(const EnvironmentVariables&) = delete;
    EnvironmentVariables& operator=(const EnvironmentVariables&) = delete;

    // A null `value` removes the variable.
    static void Set(const char* name, const char* value) {
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }

  private:
    std::map<std::string, std::optional<std::string>> saved;
};

// Both hives in a temporary folder of the test's own.
class HiveTest : public testing::Test {
  protected:
    void SetUp() override {
        EnvironmentVariables::Set("SKELVIN_REGISTRY_DIR", folder.Path().c_str());
    }

    std::string MachineHive() const { return folder.PathOf("HKEY_LOCAL_MACHINE.reg"); }
    std::string UserHive() const { return folder.PathOf("HKEY_CURRENT_USER.reg"); }

    TemporaryFolder folder;
    EnvironmentVariables environment{"SKELVIN_REGISTRY_DIR", "XDG_CONFIG_HOME", "HOME"};
};

// ---------------------------------------------------------------------------
// Reading.

const std::string kRegeditExport = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
@="Quorvane \"relay\" in C:\\Program Files\\Café"
"WriteMiniDumps"=dword:00000001
"MaxDumpFiles"=dword:0000000a
"DumpFolder"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00
"Names"=hex(7):61,00,00,00,62,00,00,00,00,00
"Big"=hex(b):01,02,03,04,05,06,07,08
"Nothing"=hex(0):
"Swapped"=hex(5):00,00,00,01
"Blob"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\
  17,18,19,1a

[HKEY_LOCAL_MACHINE\Software\Quorvane\Minidumps]
"Skelvin.exe"=dword:00000004

)";

const std::string kAdministratorsFile = R"(Windows Registry Editor Version 5.00
; crash dump settings for this machine

[HKEY_LOCAL_MACHINE\Software\Quorvane]
  "WriteMiniDumps" = DWORD:0	
"MaxDumpFiles"=dword:3
"Old"=dword:1
"Old"=-
"Blob"=hex:AB, cd ,\
    ef
"Empty"=""

[HKEY_CURRENT_USER\Software\Quorvane]
"MINIDUMP_TYPE"=dword:00000002

[HKEY_LOCAL_MACHINE\Software\Gone]
"x"=dword:1
[-HKEY_LOCAL_MACHINE\Software\Gone]
"y"=dword:1

[hkey_local_machine\Software\Only\Deep\Key]
)";

const std::string kVersion4File = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"DumpFolder"=hex(2):25,54,45,4d,50,25,00
"Greeting"="Grüße"
)";

const std::string kRecreatedFile = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"WriteMiniDumps"=dword:00000000
"MaxDumpFiles"=dword:00000002

[-HKEY_LOCAL_MACHINE\Software]

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"MaxDumpFiles"=dword:00000007
)";

// One key (value: nullptr) or value of HKEY_LOCAL_MACHINE, as an "A" call
// sees it.
struct Lookup {
    const char* key;
    const char* value;
    DWORD status;
    DWORD type;
    std::string data;
};

struct ReadCase {
    const char* name;
    Bytes file;
    std::vector<Lookup> lookups;
};

class HiveReadingTest : public HiveTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(HiveReadingTest, FindsEveryKeyAndValue) {
    PlatformTest::WriteFile(MachineHive(), GetParam().file);
    for (const Lookup& lookup : GetParam().lookups) {
        SCOPED_TRACE(std::string(lookup.key) + " " + (lookup.value ? lookup.value : "(key)"));
        Key key;
        const LSTATUS opened = OpenKey(HKEY_LOCAL_MACHINE, lookup.key, key, KEY_READ);
        if (lookup.value == nullptr) {
            EXPECT_EQ(opened, Status(lookup.status));
            continue;
        }
        ASSERT_EQ(opened, Status(ERROR_SUCCESS));
        const Queried value = QueryValue(key.get(), lookup.value);
        EXPECT_EQ(value.status, Status(lookup.status));
        if (lookup.status == ERROR_SUCCESS) {
            EXPECT_EQ(value.type, lookup.type);
            EXPECT_EQ(value.data, lookup.data);
        }
    }
    EXPECT_EQ(ReadWholeFile(MachineHive()), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HiveReadingTest,
    testing::Values(
        ReadCase{
            "RegeditExportInUtf16",
            FileOf(kRegeditExport, FileForm::Utf16CrLf),
            {
                {"Software\\Quorvane", "", ERROR_SUCCESS, REG_SZ,
                 "Quorvane \"relay\" in C:\\Program Files\\Caf\xC3\xA9\0"s},
                {"Software\\Quorvane", "WriteMiniDumps", ERROR_SUCCESS, REG_DWORD, "\x01\0\0\0"s},
                {"Software\\Quorvane", "maxdumpfiles", ERROR_SUCCESS, REG_DWORD, "\x0a\0\0\0"s},
                {"Software\\Quorvane", "DumpFolder", ERROR_SUCCESS, REG_EXPAND_SZ, "%TEMP%\0"s},
                {"Software\\Quorvane", "Names", ERROR_SUCCESS, REG_MULTI_SZ, "a\0b\0\0"s},
                {"Software\\Quorvane", "Big", ERROR_SUCCESS, REG_QWORD,
                 "\x01\x02\x03\x04\x05\x06\x07\x08"s},
                {"Software\\Quorvane", "Nothing", ERROR_SUCCESS, REG_NONE, ""},
                {"Software\\Quorvane", "Swapped", ERROR_SUCCESS, REG_DWORD_BIG_ENDIAN,
                 "\0\0\0\x01"s},
                {"Software\\Quorvane", "Blob", ERROR_SUCCESS, REG_BINARY,
                 "\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f"
                 "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a"s},
                {"Software\\Quorvane\\Minidumps", "Skelvin.exe", ERROR_SUCCESS, REG_DWORD,
                 "\x04\0\0\0"s},
            }},
        ReadCase{
            "AdministratorsUtf8",
            FileOf(kAdministratorsFile, FileForm::Utf8),
            {
                {"Software\\Quorvane", "WriteMiniDumps", ERROR_SUCCESS, REG_DWORD, "\0\0\0\0"s},
                {"Software\\Quorvane", "MaxDumpFiles", ERROR_SUCCESS, REG_DWORD, "\x03\0\0\0"s},
                {"Software\\Quorvane", "Old", ERROR_FILE_NOT_FOUND, 0, ""},
                {"Software\\Quorvane", "Blob", ERROR_SUCCESS, REG_BINARY, "\xab\xcd\xef"},
                {"Software\\Quorvane", "Empty", ERROR_SUCCESS, REG_SZ, "\0"s},
                // A section of HKEY_CURRENT_USER, kept in the file but not read.
                {"Software\\Quorvane", "MINIDUMP_TYPE", ERROR_FILE_NOT_FOUND, 0, ""},
                {"Software\\Gone", nullptr, ERROR_FILE_NOT_FOUND, 0, ""},
                {"Software\\Only", nullptr, ERROR_SUCCESS, 0, ""},
                {"Software\\Only\\Deep\\Key", nullptr, ERROR_SUCCESS, 0, ""},
            }},
        ReadCase{
            "Version4WithMarkAndCrLf",
            FileOf(kVersion4File, FileForm::Utf8WithMarkCrLf),
            {
                {"Software\\Quorvane", "DumpFolder", ERROR_SUCCESS, REG_EXPAND_SZ, "%TEMP%\0"s},
                {"Software\\Quorvane", "Greeting", ERROR_SUCCESS, REG_SZ,
                 "Gr\xC3\xBC\xC3\x9F"
                 "e\0"s},
            }},
        ReadCase{
            "KeyRemovedAndMadeAgain",
            FileOf(kRecreatedFile, FileForm::Utf8),
            {
                {"Software\\Quorvane", "WriteMiniDumps", ERROR_FILE_NOT_FOUND, 0, ""},
                {"Software\\Quorvane", "MaxDumpFiles", ERROR_SUCCESS, REG_DWORD, "\x07\0\0\0"s},
            }},
        ReadCase{"EmptyFile", {}, {{"Software", nullptr, ERROR_FILE_NOT_FOUND, 0, ""}}}),
    TestCaseNames::CaseName<ReadCase>);

TEST_F(HiveTest, StringSizesAreThoseOfTheUtf8Text) {
    PlatformTest::WriteFile(MachineHive(), FileOf(kRegeditExport, FileForm::Utf16CrLf));
    Key key;
    ASSERT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "Software\\Quorvane", key), Status(ERROR_SUCCESS));
    // "Quorvane "relay" in C:\Program Files\Café" and its terminator.
    constexpr DWORD kSize = 43;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key.get(), nullptr, nullptr, nullptr, nullptr, &size),
              Status(ERROR_SUCCESS));
    EXPECT_EQ(size, kSize);
    EXPECT_EQ(QueryValue(key.get(), nullptr, kSize - 1).status, Status(ERROR_MORE_DATA));
    EXPECT_EQ(QueryValue(key.get(), nullptr, kSize - 1).size, kSize);
    EXPECT_EQ(QueryValue(key.get(), nullptr, kSize).status, Status(ERROR_SUCCESS));

    // What is not UTF-8 cannot be kept as UTF-16; it becomes U+FFFD.
    ASSERT_EQ(SetValue(key.get(), "Latin1", REG_SZ, Utf8("caf\xE9\0"s)), Status(ERROR_SUCCESS));
    EXPECT_EQ(QueryValue(key.get(), "Latin1").data, "caf\xEF\xBF\xBD\0"s);
}

struct FoldingCase {
    const char* name;
    const char* spelled;
    const char* otherCase;
};

class NameCaseTest : public HiveTest, public testing::WithParamInterface<FoldingCase> {};

TEST_P(NameCaseTest, NamesDifferingInCaseAreTheSame) {
    Key created;
    ASSERT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software\\"s + GetParam().spelled, &created),
              Status(ERROR_SUCCESS));
    ASSERT_EQ(SetValue(created.get(), GetParam().spelled, REG_DWORD, DwordBytes(1)),
              Status(ERROR_SUCCESS));
    Key opened;
    ASSERT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\"s + GetParam().otherCase, opened),
              Status(ERROR_SUCCESS));
    EXPECT_EQ(QueryValue(opened.get(), GetParam().otherCase).data, "\x01\0\0\0"s);
}

INSTANTIATE_TEST_SUITE_P(Scripts, NameCaseTest,
                         testing::Values(FoldingCase{"Ascii", "Quorvane", "qUORVANE"},
                                         FoldingCase{"Latin1", "Café", "CAFÉ"},
                                         FoldingCase{"LatinExtendedA", "Łódź", "ŁÓDŹ"},
                                         FoldingCase{"Greek", "λόγος", "ΛΌΓΟΣ"},
                                         FoldingCase{"Cyrillic", "привет", "ПРИВЕТ"}),
                         TestCaseNames::CaseName<FoldingCase>);

// ---------------------------------------------------------------------------
// Damaged files.

const std::string kReadableBase = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"MaxDumpFiles"=dword:00000003
)";

struct DamagedCase {
    const char* name;
    Bytes file;
};

DamagedCase WithLine(const char* name, const std::string& line) {
    return {name, Utf8(kReadableBase + line + "\n")};
}

class DamagedHiveTest : public HiveTest, public testing::WithParamInterface<DamagedCase> {};

TEST_F(HiveTest, TheDamagedFilesWouldBeReadableWithoutTheirFault) {
    PlatformTest::WriteFile(MachineHive(), Utf8(kReadableBase));
    Key key;
    ASSERT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "Software\\Quorvane", key), Status(ERROR_SUCCESS));
    EXPECT_EQ(QueryValue(key.get(), "MaxDumpFiles").data, "\x03\0\0\0"s);
}

TEST_P(DamagedHiveTest, ReadsAsEmptyAndIsNeverWritten) {
    PlatformTest::WriteFile(MachineHive(), GetParam().file);

    Key key;
    EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "Software\\Quorvane", key, KEY_READ),
              Status(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software\\Quorvane\\Minidumps"), Status(ERROR_BADDB));
    EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, "Setting", REG_DWORD, DwordBytes(1)),
              Status(ERROR_BADDB));
    EXPECT_EQ(QueryValue(HKEY_LOCAL_MACHINE, "Setting").status, Status(ERROR_FILE_NOT_FOUND));

    EXPECT_EQ(ReadWholeFile(MachineHive()), GetParam().file);
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"HKEY_LOCAL_MACHINE.reg"});
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DamagedHiveTest,
    testing::Values(
        DamagedCase{"Garbage", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0x00, 0xFF}},
        DamagedCase{"OlderHeader", Utf8("Windows Registry Editor Version 4.00\n" +
                                        kReadableBase.substr(kReadableBase.find('\n')))},
        DamagedCase{"HeaderAfterABlankLine", Utf8("\n" + kReadableBase)},
        WithLine("UnterminatedString", "\"Name\"=\"abc"),
        WithLine("UnterminatedName", "\"Name=\"abc\""),
        WithLine("TextAfterTheString", "\"Name\"=\"abc\" x"),
        WithLine("UnknownEscape", "\"Name\"=\"a\\tb\""), WithLine("BadHexDigit", "\"Blob\"=hex:0g"),
        WithLine("HexItemTooLong", "\"Blob\"=hex:001"),
        WithLine("EmptyHexItem", "\"Blob\"=hex:00,,01"),
        WithLine("BadHexType", "\"Blob\"=hex(x):00"),
        WithLine("DwordTooLong", "\"Number\"=dword:123456789"),
        WithLine("DwordNotHex", "\"Number\"=dword:12z"),
        WithLine("UnknownValueForm", "\"Number\"=word:1"), WithLine("ValueWithoutName", "=dword:1"),
        WithLine("StrayText", "MaxDumpFiles=3"),
        WithLine("UnknownRoot", "[HKEY_NOWHERE\\Software]"),
        WithLine("EmptyKeyName", "[HKEY_LOCAL_MACHINE\\Software\\\\Quorvane]"),
        WithLine("UnclosedSection", "[HKEY_LOCAL_MACHINE\\Software"),
        WithLine("KeyNameTooLong", "[HKEY_LOCAL_MACHINE\\" + std::string(256, 'k') + "]"),
        WithLine("NotUtf8", "; caf\xE9"), WithLine("NulCharacter", "; a\0b"s),
        DamagedCase{"HexContinuedPastTheEnd", Utf8(kReadableBase + "\"Blob\"=hex:00,\\\n")},
        DamagedCase{"ValueBeforeAnySection",
                    Utf8("Windows Registry Editor Version 5.00\n\"Number\"=dword:1\n" +
                         kReadableBase.substr(kReadableBase.find('\n') + 1))},
        DamagedCase{"Utf16OfOddLength",
                    Concatenated({kUtf16Mark, Utf16(kReadableBase), Bytes{'\n'}})},
        DamagedCase{"Utf16UnpairedSurrogate", Concatenated({kUtf16Mark, Utf16(kReadableBase + ";"),
                                                            Bytes{0x00, 0xD8}, Utf16("\n")})},
        DamagedCase{"Utf16BigEndian", Concatenated({Bytes{0xFE, 0xFF}, Utf16(kReadableBase)})},
        DamagedCase{"LargerThanTheLimit",
                    Utf8(kReadableBase + ";" +
                         std::string(PosixPlatform::kMaxRegistryHiveBytes, 'x') + "\n")}),
    TestCaseNames::CaseName<DamagedCase>);

TEST_F(HiveTest, AHiveThatIsNoFileIsDamaged) {
    std::filesystem::create_directory(MachineHive());
    EXPECT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software"), Status(ERROR_BADDB));
    EXPECT_TRUE(std::filesystem::is_directory(MachineHive()));

    // A FIFO must not hold the call up waiting for a writer.
    ASSERT_EQ(::mkfifo(UserHive().c_str(), 0600), 0);
    EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, "Software"), Status(ERROR_BADDB));
    Key key;
    EXPECT_EQ(OpenKey(HKEY_CURRENT_USER, "Software", key), Status(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(std::filesystem::is_fifo(UserHive()));
}

TEST_F(HiveTest, AHiveThatCannotBeReadIsNeverWritten) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "file permissions do not bind the superuser";
    }
    const Bytes original = Utf8(kReadableBase);
    PlatformTest::WriteFile(MachineHive(), original);
    ASSERT_EQ(::chmod(MachineHive().c_str(), 0200), 0);
    Key key;
    EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "Software\\Quorvane", key), Status(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, "Setting", REG_DWORD, DwordBytes(1)),
              Status(ERROR_ACCESS_DENIED));
    ASSERT_EQ(::chmod(MachineHive().c_str(), 0600), 0);
    EXPECT_EQ(ReadWholeFile(MachineHive()), original);
}

// ---------------------------------------------------------------------------
// Writing: only what the call changes.

// Creates `key` below HKEY_LOCAL_MACHINE when `value` is null, else sets the
// value there (the key exists).
struct Change {
    const char* key;
    const char* value;
    DWORD type;
    Bytes data;
};

struct EditCase {
    const char* name;
    FileForm form;
    std::string before;
    Change change;
    std::string after;
};

class HiveEditTest : public HiveTest, public testing::WithParamInterface<EditCase> {};

TEST_P(HiveEditTest, ChangesOnlyWhatTheCallChanges) {
    const EditCase& edit = GetParam();
    PlatformTest::WriteFile(MachineHive(), FileOf(edit.before, edit.form));
    if (edit.change.value == nullptr) {
        ASSERT_EQ(CreateKey(HKEY_LOCAL_MACHINE, edit.change.key), Status(ERROR_SUCCESS));
    } else {
        Key key;
        ASSERT_EQ(OpenKey(HKEY_LOCAL_MACHINE, edit.change.key, key, KEY_SET_VALUE),
                  Status(ERROR_SUCCESS));
        ASSERT_EQ(SetValue(key.get(), edit.change.value, edit.change.type, edit.change.data),
                  Status(ERROR_SUCCESS));
    }
    const Bytes written = ReadWholeFile(MachineHive());
    EXPECT_EQ(std::string(written.begin(), written.end()), [&] {
        const Bytes expected = FileOf(edit.after, edit.form);
        return std::string(expected.begin(), expected.end());
    }());
}

const std::string kSettings = R"(Windows Registry Editor Version 5.00
; keep me

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"WriteMiniDumps"=dword:00000001
; between
  "MaxDumpFiles" = dword:5   

[HKEY_LOCAL_MACHINE\Software\Other]
"Unknown"=hex(7):61,00,00,00,00,00
)";

const std::string kSettingsWithType = R"(Windows Registry Editor Version 5.00
; keep me

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"WriteMiniDumps"=dword:00000001
; between
  "MaxDumpFiles" = dword:5   
"MINIDUMP_TYPE"=dword:00000002

[HKEY_LOCAL_MACHINE\Software\Other]
"Unknown"=hex(7):61,00,00,00,00,00
)";

INSTANTIATE_TEST_SUITE_P(
    Changes, HiveEditTest,
    testing::Values(
        EditCase{"ReplacesTheValuesOwnLine", FileForm::Utf8, kSettings,
                 Change{"Software\\Quorvane", "MaxDumpFiles", REG_DWORD, DwordBytes(3)},
                 R"(Windows Registry Editor Version 5.00
; keep me

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"WriteMiniDumps"=dword:00000001
; between
"MaxDumpFiles"=dword:00000003

[HKEY_LOCAL_MACHINE\Software\Other]
"Unknown"=hex(7):61,00,00,00,00,00
)"},
        EditCase{"AddsAValueAfterTheLastOfItsKey", FileForm::Utf8, kSettings,
                 Change{"Software\\Quorvane", "MINIDUMP_TYPE", REG_DWORD, DwordBytes(2)},
                 kSettingsWithType},
        EditCase{"KeepsUtf16AndCrLf", FileForm::Utf16CrLf, kSettings,
                 Change{"Software\\Quorvane", "MINIDUMP_TYPE", REG_DWORD, DwordBytes(2)},
                 kSettingsWithType},
        EditCase{"KeepsTheByteOrderMarkOfUtf8", FileForm::Utf8WithMarkCrLf, kSettings,
                 Change{"Software\\Quorvane", "MINIDUMP_TYPE", REG_DWORD, DwordBytes(2)},
                 kSettingsWithType},
        EditCase{"BreaksHexLinesWithTheFilesLineEnd", FileForm::Utf16CrLf,
                 R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
)",
                 Change{"Software\\Quorvane", "Blob", REG_BINARY, Bytes(30, 0xAB)},
                 R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"Blob"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\
  ab,ab,ab,ab,ab,ab,ab,ab
)"},
        EditCase{"ReplacesAllLinesOfAHexValue", FileForm::Utf8,
                 R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"Blob"=hex:00,01,\
  02,03
"After"=dword:00000001
)",
                 Change{"Software\\Quorvane", "Blob", REG_DWORD, DwordBytes(7)},
                 R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"Blob"=dword:00000007
"After"=dword:00000001
)"},
        EditCase{"ReplacesTheLineThatRemovedTheValue", FileForm::Utf8,
                 R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"Old"=dword:00000001
"Old"=-
"After"=dword:00000001
)",
                 Change{"Software\\Quorvane", "Old", REG_DWORD, DwordBytes(2)},
                 R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"Old"=dword:00000001
"Old"=dword:00000002
"After"=dword:00000001
)"},
        EditCase{"KeepsTheSpellingOfTheValueName", FileForm::Utf8,
                 R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"MAXDUMPFILES"=dword:00000005
)",
                 Change{"Software\\Quorvane", "MaxDumpFiles", REG_DWORD, DwordBytes(3)},
                 R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"MAXDUMPFILES"=dword:00000003
)"},
        EditCase{"WritesIntoTheSectionAfterARemoval", FileForm::Utf8,
                 R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"A"=dword:00000001

[-HKEY_LOCAL_MACHINE\Software\Quorvane]

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"B"=dword:00000002
)",
                 Change{"Software\\Quorvane", "A", REG_DWORD, DwordBytes(3)},
                 R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"A"=dword:00000001

[-HKEY_LOCAL_MACHINE\Software\Quorvane]

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"B"=dword:00000002
"A"=dword:00000003
)"},
        EditCase{"GivesAKeyWithoutASectionItsOwn", FileForm::Utf8,
                 R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\quorvane\Minidumps]
)",
                 Change{"Software\\Quorvane", "WriteMiniDumps", REG_DWORD, DwordBytes(0)},
                 R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\quorvane\Minidumps]

[HKEY_LOCAL_MACHINE\SOFTWARE\quorvane]
"WriteMiniDumps"=dword:00000000

)"},
        EditCase{"LeavesAnotherHivesSectionAlone", FileForm::Utf8,
                 R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Quorvane]
"MINIDUMP_TYPE"=dword:00000002

[HKEY_LOCAL_MACHINE\Software\Quorvane\Minidumps]

)",
                 Change{"Software\\Quorvane", "MINIDUMP_TYPE", REG_DWORD, DwordBytes(1)},
                 R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Quorvane]
"MINIDUMP_TYPE"=dword:00000002

[HKEY_LOCAL_MACHINE\Software\Quorvane\Minidumps]

[HKEY_LOCAL_MACHINE\Software\Quorvane]
"MINIDUMP_TYPE"=dword:00000001

)"},
        EditCase{"AddsAKeyAfterAFileWithoutLineEnd", FileForm::Utf8,
                 "Windows Registry Editor Version 5.00\n\n"
                 "[HKEY_LOCAL_MACHINE\\Software\\Quorvane]\n"
                 "\"MaxDumpFiles\"=dword:00000005",
                 Change{"Software\\Quorvane\\Minidumps", nullptr, 0, {}},
                 "Windows Registry Editor Version 5.00\n\n"
                 "[HKEY_LOCAL_MACHINE\\Software\\Quorvane]\n"
                 "\"MaxDumpFiles\"=dword:00000005\n\n"
                 "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Minidumps]\n\n"}),
    TestCaseNames::CaseName<EditCase>);

// How each kind of value is written, and that it reads back as it was set.
struct FormatCase {
    const char* name;
    const char* value;
    DWORD type;
    Bytes data;
    std::string line;
};

class ValueFormatTest : public HiveTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(ValueFormatTest, WritesTheValueAsRegeditDoes) {
    Key key;
    ASSERT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software\\Quorvane", &key), Status(ERROR_SUCCESS));
    ASSERT_EQ(SetValue(key.get(), GetParam().value, GetParam().type, GetParam().data),
              Status(ERROR_SUCCESS));

    const Bytes written = ReadWholeFile(MachineHive());
    EXPECT_EQ(std::string(written.begin(), written.end()),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Quorvane]\n" +
                  GetParam().line + "\n\n");
    const Queried value = QueryValue(key.get(), GetParam().value);
    EXPECT_EQ(value.type, GetParam().type);
    EXPECT_EQ(value.data, std::string(GetParam().data.begin(), GetParam().data.end()));
}

Bytes Sequence(std::size_t count) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i);
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Types, ValueFormatTest,
    testing::Values(
        FormatCase{"Dword", "V", REG_DWORD, DwordBytes(42), "\"V\"=dword:0000002a"},
        FormatCase{"DefaultValue", nullptr, REG_DWORD, DwordBytes(1), "@=dword:00000001"},
        FormatCase{"NameWithQuotes", "a \"b\" \\c", REG_DWORD, DwordBytes(1),
                   R"("a \"b\" \\c"=dword:00000001)"},
        FormatCase{"String", "V", REG_SZ, Utf8("C:\\Dumps \"x\" Grüße\0"s),
                   R"("V"="C:\\Dumps \"x\" Grüße")"},
        FormatCase{"StringWithoutTerminator", "V", REG_SZ, Utf8("ab"), "\"V\"=hex(1):61,00,62,00"},
        FormatCase{"StringOfTwoLines", "V", REG_SZ, Utf8("a\nb\0"s),
                   "\"V\"=hex(1):61,00,0a,00,62,00,00,00"},
        FormatCase{"ExpandString", "V", REG_EXPAND_SZ, Utf8("%T%\0"s),
                   "\"V\"=hex(2):25,00,54,00,25,00,00,00"},
        FormatCase{"MultiString", "V", REG_MULTI_SZ, Utf8("a\0b\0\0"s),
                   "\"V\"=hex(7):61,00,00,00,62,00,00,00,00,00"},
        FormatCase{"Qword", "V", REG_QWORD, Sequence(8), "\"V\"=hex(b):00,01,02,03,04,05,06,07"},
        FormatCase{"ShortDword", "V", REG_DWORD, {1, 2}, "\"V\"=hex(4):01,02"},
        FormatCase{
            "BigEndianDword", "V", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}, "\"V\"=hex(5):00,00,00,01"},
        FormatCase{"LargeTypeNumber", "V", 0x12345678, {1}, "\"V\"=hex(12345678):01"},
        FormatCase{"EmptyNone", "V", REG_NONE, {}, "\"V\"=hex(0):"},
        FormatCase{"BinaryOnThreeLines", "V", REG_BINARY, Sequence(60),
                   "\"V\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,"
                   "16,\\\n"
                   "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,"
                   "2f,\\\n"
                   "  30,31,32,33,34,35,36,37,38,39,3a,3b"}),
    TestCaseNames::CaseName<FormatCase>);

TEST_F(HiveTest, ALongValueKeepsToEightyColumnsAndReadsBack) {
    Key key;
    ASSERT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software\\Quorvane", &key), Status(ERROR_SUCCESS));
    Bytes data = Sequence(256);
    data.insert(data.end(), data.begin(), data.end());
    ASSERT_EQ(SetValue(key.get(), "Blob", REG_BINARY, data), Status(ERROR_SUCCESS));

    std::ifstream in(MachineHive());
    std::string line;
    while (std::getline(in, line)) {
        EXPECT_LE(line.size(), 80u) << line;
    }
    EXPECT_EQ(QueryValue(key.get(), "Blob").data, std::string(data.begin(), data.end()));
}

// ---------------------------------------------------------------------------
// Replacing the file.

TEST_F(HiveTest, AWriteReplacesTheFileInOneStep) {
    const Bytes original = Utf8(kReadableBase);
    PlatformTest::WriteFile(MachineHive(), original);
    struct stat before {};
    ASSERT_EQ(::stat(MachineHive().c_str(), &before), 0);
    std::ifstream reader(MachineHive(), std::ios::binary);

    ASSERT_EQ(SetValue(HKEY_LOCAL_MACHINE, "Setting", REG_DWORD, DwordBytes(1)),
              Status(ERROR_SUCCESS));

    struct stat after {};
    ASSERT_EQ(::stat(MachineHive().c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    // A reader of the old file still sees the whole of it.
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(reader), std::istreambuf_iterator<char>()),
              original);
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"HKEY_LOCAL_MACHINE.reg"});
    EXPECT_EQ(QueryValue(HKEY_LOCAL_MACHINE, "Setting").data, "\x01\0\0\0"s);
}

TEST_F(HiveTest, AWriteKeepsThePermissionsOfTheFile) {
    PlatformTest::WriteFile(MachineHive(), Utf8(kReadableBase));
    ASSERT_EQ(::chmod(MachineHive().c_str(), 0640), 0);
    ASSERT_EQ(SetValue(HKEY_LOCAL_MACHINE, "Setting", REG_DWORD, DwordBytes(1)),
              Status(ERROR_SUCCESS));
    EXPECT_EQ(ModeOf(MachineHive()), 0640u);
}

TEST_F(HiveTest, AWriteThroughASymbolicLinkReplacesItsTarget) {
    std::filesystem::create_directory(folder.Path() / "real");
    const std::string target = folder.PathOf("real/machine.reg");
    PlatformTest::WriteFile(target, Utf8(kReadableBase));
    std::filesystem::create_symlink(target, MachineHive());

    ASSERT_EQ(SetValue(HKEY_LOCAL_MACHINE, "Setting", REG_DWORD, DwordBytes(1)),
              Status(ERROR_SUCCESS));
    EXPECT_TRUE(std::filesystem::is_symlink(MachineHive()));
    const Bytes written = ReadWholeFile(target);
    EXPECT_NE(std::string(written.begin(), written.end()).find("\"Setting\"=dword:00000001"),
              std::string::npos);
    EXPECT_EQ(FolderEntries(folder.Path() / "real"), std::vector<std::string>{"machine.reg"});
}

TEST_F(HiveTest, ANewUserHiveIsPrivate) {
    EnvironmentVariables::Set("SKELVIN_REGISTRY_DIR", nullptr);
    const std::string configuration = folder.PathOf("config");
    EnvironmentVariables::Set("XDG_CONFIG_HOME", configuration.c_str());

    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\Quorvane\\Minidumps"), Status(ERROR_SUCCESS));
    const std::string hive = configuration + "/skelvin/HKEY_CURRENT_USER.reg";
    EXPECT_EQ(ModeOf(configuration), 0700u);
    EXPECT_EQ(ModeOf(configuration + "/skelvin"), 0700u);
    EXPECT_EQ(ModeOf(hive), 0600u);
    EXPECT_EQ(ReadWholeFile(hive), Utf8("Windows Registry Editor Version 5.00\n\n"
                                        "[HKEY_CURRENT_USER\\Software\\Quorvane\\Minidumps]\n\n"));
}

TEST_F(HiveTest, OnlyTheUserHiveGetsItsFolderMade) {
    const std::string missing = folder.PathOf("missing");
    EnvironmentVariables::Set("SKELVIN_REGISTRY_DIR", missing.c_str());

    EXPECT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software"), Status(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(std::filesystem::exists(missing));

    EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, "Software"), Status(ERROR_SUCCESS));
    EXPECT_EQ(ModeOf(missing + "/HKEY_CURRENT_USER.reg"), 0600u);

    // Once the folder is there, a new machine hive is for every user to read.
    EXPECT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software"), Status(ERROR_SUCCESS));
    EXPECT_EQ(ModeOf(missing + "/HKEY_LOCAL_MACHINE.reg"), 0644u);
}

TEST_F(HiveTest, AWriteThatWouldPassTheSizeLimitChangesNothing) {
    const Bytes original = Utf8(kReadableBase);
    PlatformTest::WriteFile(MachineHive(), original);
    // Three characters of text for each byte: well past the limit.
    const Bytes large(PosixPlatform::kMaxRegistryHiveBytes / 2, 0x5A);
    EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, "Large", REG_BINARY, large), Status(ERROR_OUTOFMEMORY));
    const Bytes larger(PosixPlatform::kMaxRegistryHiveBytes + 1, 0x5A);
    EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, "Larger", REG_BINARY, larger),
              Status(ERROR_OUTOFMEMORY));

    EXPECT_EQ(ReadWholeFile(MachineHive()), original);
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"HKEY_LOCAL_MACHINE.reg"});
}

TEST_F(HiveTest, AFolderThatCannotBeWrittenIsAccessDenied) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "file permissions do not bind the superuser";
    }
    const Bytes original = Utf8(kReadableBase);
    PlatformTest::WriteFile(MachineHive(), original);
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0500), 0);
    const LSTATUS status = SetValue(HKEY_LOCAL_MACHINE, "Setting", REG_DWORD, DwordBytes(1));
    ASSERT_EQ(::chmod(folder.Path().c_str(), 0700), 0);
    EXPECT_EQ(status, Status(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadWholeFile(MachineHive()), original);
}

// The dump counter may be advanced from any thread; no rewrite may undo
// another's.
TEST_F(HiveTest, WritesFromManyThreadsAreAllKept) {
    constexpr int kThreads = 4;
    constexpr int kValuesEach = 8;
    Key key;
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\Quorvane\\Minidumps", &key),
              Status(ERROR_SUCCESS));
    std::vector<std::thread> threads;
    std::vector<LSTATUS> failures(kThreads, Status(ERROR_SUCCESS));
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([&, thread] {
            for (int value = 0; value < kValuesEach; ++value) {
                const std::string name = std::to_string(thread) + "-" + std::to_string(value);
                const LSTATUS status = SetValue(key.get(), name.c_str(), REG_DWORD,
                                                DwordBytes(static_cast<DWORD>(value)));
                if (status != Status(ERROR_SUCCESS)) {
                    failures[thread] = status;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int thread = 0; thread < kThreads; ++thread) {
        EXPECT_EQ(failures[thread], Status(ERROR_SUCCESS)) << thread;
        for (int value = 0; value < kValuesEach; ++value) {
            const std::string name = std::to_string(thread) + "-" + std::to_string(value);
            const Bytes expected = DwordBytes(static_cast<DWORD>(value));
            EXPECT_EQ(QueryValue(key.get(), name.c_str()).data,
                      std::string(expected.begin(), expected.end()))
                << name;
        }
    }
}

// ---------------------------------------------------------------------------
// Where the hives lie.

struct LocationCase {
    const char* name;
    const char* registryFolder;  // null: unset
    const char* configurationHome;
    const char* home;
    // "~" stands for the account's home from the password database.
    std::string userHive;
    std::string machineHive;
};

class HiveLocationTest : public testing::TestWithParam<LocationCase> {
  protected:
    EnvironmentVariables environment{"SKELVIN_REGISTRY_DIR", "XDG_CONFIG_HOME", "HOME"};
};

std::string AccountHome() {
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr ? entry->pw_dir : "";
}

TEST_P(HiveLocationTest, FollowsTheEnvironment) {
    EnvironmentVariables::Set("SKELVIN_REGISTRY_DIR", GetParam().registryFolder);
    EnvironmentVariables::Set("XDG_CONFIG_HOME", GetParam().configurationHome);
    EnvironmentVariables::Set("HOME", GetParam().home);
    std::string userHive = GetParam().userHive;
    if (userHive.front() == '~') {
        userHive = AccountHome() + userHive.substr(1);
    }

    EXPECT_EQ(PosixPlatform::RegistryHiveFile(HKEY_CURRENT_USER), userHive);
    EXPECT_EQ(PosixPlatform::RegistryHiveFile(HKEY_LOCAL_MACHINE), GetParam().machineHive);
    EXPECT_EQ(PosixPlatform::RegistryHiveFile(HKEY_CLASSES_ROOT), "");
    EXPECT_EQ(PosixPlatform::RegistryHiveFile(HKEY_USERS), "");
}

INSTANTIATE_TEST_SUITE_P(
    Environments, HiveLocationTest,
    testing::Values(
        LocationCase{"RegistryFolder", "/r", "/x", "/h", "/r/HKEY_CURRENT_USER.reg",
                     "/r/HKEY_LOCAL_MACHINE.reg"},
        LocationCase{"EmptyRegistryFolder", "", "/x", "/h", "/x/skelvin/HKEY_CURRENT_USER.reg",
                     "/etc/skelvin/HKEY_LOCAL_MACHINE.reg"},
        LocationCase{"ConfigurationHome", nullptr, "/x", "/h", "/x/skelvin/HKEY_CURRENT_USER.reg",
                     "/etc/skelvin/HKEY_LOCAL_MACHINE.reg"},
        LocationCase{"RelativeConfigurationHome", nullptr, "x", "/h",
                     "/h/.config/skelvin/HKEY_CURRENT_USER.reg",
                     "/etc/skelvin/HKEY_LOCAL_MACHINE.reg"},
        LocationCase{"EmptyConfigurationHome", nullptr, "", "/h",
                     "/h/.config/skelvin/HKEY_CURRENT_USER.reg",
                     "/etc/skelvin/HKEY_LOCAL_MACHINE.reg"},
        LocationCase{"NoHome", nullptr, nullptr, nullptr, "~/.config/skelvin/HKEY_CURRENT_USER.reg",
                     "/etc/skelvin/HKEY_LOCAL_MACHINE.reg"},
        LocationCase{"RelativeHome", nullptr, nullptr, "h",
                     "~/.config/skelvin/HKEY_CURRENT_USER.reg",
                     "/etc/skelvin/HKEY_LOCAL_MACHINE.reg"}),
    TestCaseNames::CaseName<LocationCase>);

TEST_F(HiveTest, WritesGoWhereTheUserHiveIsNow) {
    EnvironmentVariables::Set("SKELVIN_REGISTRY_DIR", nullptr);
    EnvironmentVariables::Set("XDG_CONFIG_HOME", nullptr);
    EnvironmentVariables::Set("HOME", folder.Path().c_str());
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software"), Status(ERROR_SUCCESS));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.Path() / ".config" / "skelvin" /
                                                 "HKEY_CURRENT_USER.reg"));
}

// ---------------------------------------------------------------------------
// Keys, names and arguments.

TEST_F(HiveTest, HivesWithoutAFileHaveOnlyTheirRoot) {
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_USERS}) {
        Key key;
        EXPECT_EQ(OpenKey(root, "", key), Status(ERROR_SUCCESS));
        EXPECT_EQ(OpenKey(root, "Software", key), Status(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(CreateKey(root, "Software"), Status(ERROR_ACCESS_DENIED));
        EXPECT_EQ(SetValue(root, "Setting", REG_DWORD, DwordBytes(1)), Status(ERROR_ACCESS_DENIED));
        EXPECT_EQ(QueryValue(root, "Setting").status, Status(ERROR_FILE_NOT_FOUND));
    }
    EXPECT_TRUE(FolderEntries(folder.Path()).empty());
}

TEST_F(HiveTest, AKeyGoneFromTheFileIsDeletedForItsHandles) {
    Key key;
    ASSERT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software\\Quorvane", &key), Status(ERROR_SUCCESS));
    ASSERT_EQ(SetValue(key.get(), "Setting", REG_DWORD, DwordBytes(1)), Status(ERROR_SUCCESS));
    PlatformTest::WriteFile(MachineHive(), Utf8("Windows Registry Editor Version 5.00\n"));

    EXPECT_EQ(QueryValue(key.get(), "Setting").status, Status(ERROR_KEY_DELETED));
    EXPECT_EQ(SetValue(key.get(), "Setting", REG_DWORD, DwordBytes(2)), Status(ERROR_KEY_DELETED));
    Key below;
    EXPECT_EQ(CreateKey(key.get(), "Below", &below), Status(ERROR_KEY_DELETED));
    EXPECT_EQ(ReadWholeFile(MachineHive()), Utf8("Windows Registry Editor Version 5.00\n"));
}

struct PathCase {
    const char* name;
    std::string subKey;
    DWORD openStatus;
    DWORD createStatus;
};

class SubkeyPathTest : public HiveTest, public testing::WithParamInterface<PathCase> {};

TEST_P(SubkeyPathTest, OpensAndCreatesWithinTheRules) {
    ASSERT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software\\Quorvane"), Status(ERROR_SUCCESS));
    Key key;
    EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, GetParam().subKey, key), Status(GetParam().openStatus));
    EXPECT_EQ(CreateKey(HKEY_LOCAL_MACHINE, GetParam().subKey), Status(GetParam().createStatus));
    if (GetParam().createStatus == ERROR_SUCCESS) {
        EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, GetParam().subKey, key), Status(ERROR_SUCCESS));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SubkeyPathTest,
    testing::Values(
        PathCase{"LeadingBackslash", "\\Software", ERROR_BAD_PATHNAME, ERROR_BAD_PATHNAME},
        PathCase{"DoubledBackslash", "Software\\\\Quorvane", ERROR_BAD_PATHNAME,
                 ERROR_BAD_PATHNAME},
        PathCase{"TrailingBackslash", "Software\\Quorvane\\", ERROR_SUCCESS, ERROR_SUCCESS},
        PathCase{"NameOfTheLongestLength", "Software\\" + std::string(255, 'k'),
                 ERROR_FILE_NOT_FOUND, ERROR_SUCCESS},
        PathCase{"NameTooLong", "Software\\" + std::string(256, 'k'), ERROR_FILE_NOT_FOUND,
                 ERROR_INVALID_PARAMETER},
        PathCase{"NameWithALineBreak", "Soft\nware", ERROR_FILE_NOT_FOUND, ERROR_INVALID_PARAMETER},
        PathCase{"NameNotUtf8", "Caf\xE9", ERROR_FILE_NOT_FOUND, ERROR_INVALID_PARAMETER}),
    TestCaseNames::CaseName<PathCase>);

TEST_F(HiveTest, RefusesWhatTheCallsDoNotOffer) {
    HKEY key = nullptr;
    DWORD reserved = 0;
    BYTE buffer[4] = {};
    DWORD size = sizeof buffer;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              Status(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software", 1, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              Status(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, nullptr, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              Status(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_READ, nullptr),
              Status(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegQueryValueExA(HKEY_LOCAL_MACHINE, "x", &reserved, nullptr, buffer, &size),
              Status(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegQueryValueExA(HKEY_LOCAL_MACHINE, "x", nullptr, nullptr, buffer, nullptr),
              Status(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegSetValueExA(HKEY_LOCAL_MACHINE, "x", 0, REG_BINARY, nullptr, 4),
              Status(ERROR_NOACCESS));
    EXPECT_EQ(SetValue(HKEY_LOCAL_MACHINE, "line\nbreak", REG_DWORD, DwordBytes(1)),
              Status(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(
        SetValue(HKEY_LOCAL_MACHINE, std::string(16384, 'v').c_str(), REG_DWORD, DwordBytes(1)),
        Status(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(FolderEntries(folder.Path()).empty());

    EXPECT_EQ(
        SetValue(HKEY_LOCAL_MACHINE, std::string(16383, 'v').c_str(), REG_DWORD, DwordBytes(1)),
        Status(ERROR_SUCCESS));
}

TEST_F(HiveTest, AStaleOrMadeUpHandleIsRefused) {
    Key key;
    ASSERT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software", &key), Status(ERROR_SUCCESS));
    HKEY closed = key.release();
    ASSERT_EQ(RegCloseKey(closed), Status(ERROR_SUCCESS));
    int notAKey = 0;
    for (HKEY stale : {closed, reinterpret_cast<HKEY>(&notAKey)}) {
        EXPECT_EQ(QueryValue(stale, "x").status, Status(ERROR_INVALID_HANDLE));
        EXPECT_EQ(SetValue(stale, "x", REG_DWORD, DwordBytes(1)), Status(ERROR_INVALID_HANDLE));
        EXPECT_EQ(OpenKey(stale, "", key), Status(ERROR_INVALID_HANDLE));
        EXPECT_EQ(RegCloseKey(stale), Status(ERROR_INVALID_HANDLE));
    }
}

}  // namespace
