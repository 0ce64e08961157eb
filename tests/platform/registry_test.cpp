// What the crash-dump settings and counter rely on from the registry calls.
// The same tests run against the real registry (under Windows or wine) and
// against the Linux stand-in, each in a key of its own below
// HKEY_CURRENT_USER, so that the stand-in answers as the registry does.
#include "platform/win32_api.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/platform/test_support.hpp"
#include "tests/support/case_name.hpp"

namespace {

using TestCaseNames::PrintTo;

// Windows' numbers, written out here rather than taken from either header.
static_assert(KEY_QUERY_VALUE == 0x1 && KEY_SET_VALUE == 0x2 && KEY_CREATE_SUB_KEY == 0x4 &&
              KEY_ENUMERATE_SUB_KEYS == 0x8);
static_assert(KEY_READ == 0x20019 && KEY_WRITE == 0x20006 && KEY_ALL_ACCESS == 0xF003F);
static_assert(REG_OPTION_NON_VOLATILE == 0 && REG_CREATED_NEW_KEY == 1 &&
              REG_OPENED_EXISTING_KEY == 2);
static_assert(REG_NONE == 0 && REG_SZ == 1 && REG_EXPAND_SZ == 2 && REG_BINARY == 3 &&
              REG_DWORD == 4 && REG_DWORD_BIG_ENDIAN == 5 && REG_MULTI_SZ == 7 && REG_QWORD == 11);
static_assert(ERROR_OUTOFMEMORY == 14 && ERROR_MORE_DATA == 234 && ERROR_BADDB == 1009);
static_assert(sizeof(LSTATUS) == 4 && std::is_signed_v<LSTATUS>);

// The registry calls answer LSTATUS; the error codes are DWORDs on one build
// and longs on the other.
constexpr LSTATUS Status(long code) {
    return static_cast<LSTATUS>(code);
}

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct Opened {
    LSTATUS status;
    Key key;
};

Opened Open(HKEY parent, const std::string& subKey, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExA(parent, subKey.c_str(), 0, access, &key);
    return {status, Key(key)};
}

struct Created {
    LSTATUS status;
    Key key;
    DWORD disposition;
};

Created Create(HKEY parent, const std::string& subKey, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LSTATUS status =
        RegCreateKeyExA(parent, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                        nullptr, &key, &disposition);
    return {status, Key(key), disposition};
}

LSTATUS Set(HKEY key, const char* name, DWORD type, const std::vector<BYTE>& data) {
    return RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
}

std::vector<BYTE> DwordBytes(DWORD number) {
    return {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
            static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
}

std::vector<BYTE> TextBytes(const std::string& text) {
    return std::vector<BYTE>(text.begin(), text.end());
}

struct Queried {
    LSTATUS status = 0;
    DWORD type = 0xDEAD;
    DWORD size = 0;
    // The filled part of the buffer after a success.
    std::vector<BYTE> data;
};

// Reads `name` into a buffer of `room` bytes.
Queried Query(HKEY key, const char* name, DWORD room) {
    Queried result;
    std::vector<BYTE> buffer(room + 1);
    result.size = room;
    result.status = RegQueryValueExA(key, name, nullptr, &result.type, buffer.data(), &result.size);
    if (result.status == Status(ERROR_SUCCESS)) {
        result.data.assign(buffer.begin(), buffer.begin() + result.size);
    }
    return result;
}

class RegistryTest : public testing::Test {
  protected:
    void SetUp() override {
        Created created = Create(HKEY_CURRENT_USER, scratch.Path());
        ASSERT_EQ(created.status, Status(ERROR_SUCCESS));
        ASSERT_EQ(created.disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
        base = std::move(created.key);
    }

    std::string Below(const std::string& subKey) const { return scratch.Path() + "\\" + subKey; }

    PlatformTest::ScratchRegistryKey scratch;
    Key base;
};

TEST(PredefinedKeyTest, HaveTheWindowsValues) {
    // 32-bit negative numbers widened to a pointer.
    const auto value = [](HKEY key) { return reinterpret_cast<std::intptr_t>(key); };
    EXPECT_EQ(value(HKEY_CLASSES_ROOT), std::intptr_t{static_cast<std::int32_t>(0x80000000u)});
    EXPECT_EQ(value(HKEY_CURRENT_USER), std::intptr_t{static_cast<std::int32_t>(0x80000001u)});
    EXPECT_EQ(value(HKEY_LOCAL_MACHINE), std::intptr_t{static_cast<std::int32_t>(0x80000002u)});
    EXPECT_EQ(value(HKEY_USERS), std::intptr_t{static_cast<std::int32_t>(0x80000003u)});
}

TEST_F(RegistryTest, CreateReportsWhetherTheKeyIsNew) {
    Created first = Create(base.get(), "Minidumps\\Inner");
    ASSERT_EQ(first.status, Status(ERROR_SUCCESS));
    EXPECT_EQ(first.disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_NE(first.key, nullptr);

    Created again = Create(base.get(), "Minidumps\\Inner");
    EXPECT_EQ(again.status, Status(ERROR_SUCCESS));
    EXPECT_EQ(again.disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

    // The key above the new one came into being with it.
    Created above = Create(base.get(), "Minidumps");
    EXPECT_EQ(above.status, Status(ERROR_SUCCESS));
    EXPECT_EQ(above.disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
}

TEST_F(RegistryTest, AMissingKeyIsNotFound) {
    ASSERT_EQ(Create(base.get(), "Present").status, Status(ERROR_SUCCESS));
    for (const char* path : {"Missing", "Missing\\Deeper", "Present\\Missing"}) {
        HKEY key = reinterpret_cast<HKEY>(1);
        EXPECT_EQ(RegOpenKeyExA(base.get(), path, 0, KEY_READ, &key), Status(ERROR_FILE_NOT_FOUND))
            << path;
        EXPECT_EQ(key, nullptr) << path;
    }
    EXPECT_EQ(Open(HKEY_CURRENT_USER, Below("Present")).status, Status(ERROR_SUCCESS));
}

TEST_F(RegistryTest, ADwordOutlivesItsHandle) {
    ASSERT_EQ(Set(base.get(), "MaxDumpFiles", REG_DWORD, DwordBytes(0x12345678)),
              Status(ERROR_SUCCESS));
    base.reset();

    Opened reopened = Open(HKEY_CURRENT_USER, scratch.Path(), KEY_READ);
    ASSERT_EQ(reopened.status, Status(ERROR_SUCCESS));
    const Queried value = Query(reopened.key.get(), "MaxDumpFiles", 4);
    EXPECT_EQ(value.status, Status(ERROR_SUCCESS));
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value.size, 4u);
    EXPECT_EQ(value.data, DwordBytes(0x12345678));
}

TEST_F(RegistryTest, ANullBufferAsksForTheSizeAlone) {
    ASSERT_EQ(Set(base.get(), "Counter", REG_DWORD, DwordBytes(7)), Status(ERROR_SUCCESS));
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(base.get(), "Counter", nullptr, &type, nullptr, &size),
              Status(ERROR_SUCCESS));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
    // Neither the type nor the size is needed to learn that the value exists.
    EXPECT_EQ(RegQueryValueExA(base.get(), "Counter", nullptr, nullptr, nullptr, nullptr),
              Status(ERROR_SUCCESS));
}

TEST_F(RegistryTest, ASmallBufferGetsMoreDataAndTheSizeNeeded) {
    const std::vector<BYTE> data = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_EQ(Set(base.get(), "Blob", REG_BINARY, data), Status(ERROR_SUCCESS));
    for (const DWORD room : {0u, 4u, 9u}) {
        const Queried small = Query(base.get(), "Blob", room);
        EXPECT_EQ(small.status, Status(ERROR_MORE_DATA)) << room;
        EXPECT_EQ(small.size, 10u) << room;
        EXPECT_EQ(small.type, static_cast<DWORD>(REG_BINARY)) << room;
    }
    const Queried exact = Query(base.get(), "Blob", 10);
    EXPECT_EQ(exact.status, Status(ERROR_SUCCESS));
    EXPECT_EQ(exact.data, data);
}

TEST_F(RegistryTest, AMissingValueIsNotFound) {
    ASSERT_EQ(Set(base.get(), "Present", REG_DWORD, DwordBytes(1)), Status(ERROR_SUCCESS));
    for (const char* name : {"Missing", "", static_cast<const char*>(nullptr)}) {
        DWORD size = 4;
        BYTE buffer[4] = {};
        EXPECT_EQ(RegQueryValueExA(base.get(), name, nullptr, nullptr, buffer, &size),
                  Status(ERROR_FILE_NOT_FOUND))
            << (name != nullptr ? name : "(null)");
    }
}

TEST_F(RegistryTest, NullAndEmptyNamesAreTheDefaultValue) {
    ASSERT_EQ(Set(base.get(), nullptr, REG_DWORD, DwordBytes(5)), Status(ERROR_SUCCESS));
    EXPECT_EQ(Query(base.get(), "", 4).data, DwordBytes(5));
    ASSERT_EQ(Set(base.get(), "", REG_DWORD, DwordBytes(6)), Status(ERROR_SUCCESS));
    EXPECT_EQ(Query(base.get(), nullptr, 4).data, DwordBytes(6));
}

struct AccessCase {
    const char* name;
    REGSAM access;
    long queryStatus;
    long setStatus;
};

class RegistryAccessTest : public RegistryTest, public testing::WithParamInterface<AccessCase> {};

TEST_P(RegistryAccessTest, AHandleAllowsOnlyWhatItWasOpenedFor) {
    ASSERT_EQ(Set(base.get(), "Setting", REG_DWORD, DwordBytes(1)), Status(ERROR_SUCCESS));
    Opened opened = Open(HKEY_CURRENT_USER, scratch.Path(), GetParam().access);
    ASSERT_EQ(opened.status, Status(ERROR_SUCCESS));
    Created created = Create(HKEY_CURRENT_USER, scratch.Path(), GetParam().access);
    ASSERT_EQ(created.status, Status(ERROR_SUCCESS));

    for (HKEY key : {opened.key.get(), created.key.get()}) {
        EXPECT_EQ(Query(key, "Setting", 4).status, Status(GetParam().queryStatus));
        EXPECT_EQ(Set(key, "Setting", REG_DWORD, DwordBytes(2)), Status(GetParam().setStatus));
    }
    const DWORD expected = GetParam().setStatus == Status(ERROR_SUCCESS) ? 2 : 1;
    EXPECT_EQ(Query(base.get(), "Setting", 4).data, DwordBytes(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rights, RegistryAccessTest,
    testing::Values(AccessCase{"Read", KEY_READ, ERROR_SUCCESS, ERROR_ACCESS_DENIED},
                    AccessCase{"QueryValue", KEY_QUERY_VALUE, ERROR_SUCCESS, ERROR_ACCESS_DENIED},
                    AccessCase{"SetValue", KEY_SET_VALUE, ERROR_ACCESS_DENIED, ERROR_SUCCESS},
                    AccessCase{"Write", KEY_WRITE, ERROR_ACCESS_DENIED, ERROR_SUCCESS},
                    AccessCase{"AllAccess", KEY_ALL_ACCESS, ERROR_SUCCESS, ERROR_SUCCESS},
                    AccessCase{"GenericRead", GENERIC_READ, ERROR_SUCCESS, ERROR_ACCESS_DENIED},
                    AccessCase{"GenericWrite", GENERIC_WRITE, ERROR_ACCESS_DENIED, ERROR_SUCCESS},
                    AccessCase{"MaximumAllowed", MAXIMUM_ALLOWED, ERROR_SUCCESS, ERROR_SUCCESS}),
    TestCaseNames::CaseName<AccessCase>);

TEST_F(RegistryTest, NamesIgnoreCase) {
    ASSERT_EQ(Create(base.get(), "Quorvane\\Minidumps").status, Status(ERROR_SUCCESS));
    Opened opened = Open(HKEY_CURRENT_USER, Below("QUORVANE\\minidumps"));
    ASSERT_EQ(opened.status, Status(ERROR_SUCCESS));
    EXPECT_EQ(Create(base.get(), "quorvane").disposition,
              static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

    ASSERT_EQ(Set(opened.key.get(), "Skelvin.exe", REG_DWORD, DwordBytes(1)),
              Status(ERROR_SUCCESS));
    EXPECT_EQ(Query(opened.key.get(), "SKELVIN.EXE", 4).data, DwordBytes(1));
    // The same value, not a second one.
    ASSERT_EQ(Set(opened.key.get(), "skelvin.EXE", REG_DWORD, DwordBytes(2)),
              Status(ERROR_SUCCESS));
    EXPECT_EQ(Query(opened.key.get(), "Skelvin.exe", 4).data, DwordBytes(2));
}

TEST_F(RegistryTest, SubkeyPathsAreRelativeToTheKeyGiven) {
    ASSERT_EQ(Create(base.get(), "Parent\\Child\\Grandchild").status, Status(ERROR_SUCCESS));
    Opened parent = Open(base.get(), "Parent");
    ASSERT_EQ(parent.status, Status(ERROR_SUCCESS));

    Opened grandchild = Open(parent.key.get(), "Child\\Grandchild");
    ASSERT_EQ(grandchild.status, Status(ERROR_SUCCESS));
    EXPECT_EQ(Open(parent.key.get(), "Grandchild").status, Status(ERROR_FILE_NOT_FOUND));
    Created sibling = Create(parent.key.get(), "Child\\Sibling");
    ASSERT_EQ(sibling.status, Status(ERROR_SUCCESS));
    EXPECT_EQ(sibling.disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));

    ASSERT_EQ(Set(grandchild.key.get(), "Deep", REG_DWORD, DwordBytes(3)), Status(ERROR_SUCCESS));
    Opened direct = Open(HKEY_CURRENT_USER, Below("Parent\\Child\\Grandchild"));
    ASSERT_EQ(direct.status, Status(ERROR_SUCCESS));
    EXPECT_EQ(Query(direct.key.get(), "Deep", 4).data, DwordBytes(3));
    EXPECT_EQ(Open(HKEY_CURRENT_USER, Below("Parent\\Child\\Sibling")).status,
              Status(ERROR_SUCCESS));
}

TEST_F(RegistryTest, AnEmptySubkeyOpensTheSameKeyAgain) {
    Opened again = Open(base.get(), "");
    ASSERT_EQ(again.status, Status(ERROR_SUCCESS));
    ASSERT_NE(again.key.get(), base.get());
    ASSERT_EQ(Set(again.key.get(), "Shared", REG_DWORD, DwordBytes(4)), Status(ERROR_SUCCESS));
    EXPECT_EQ(Query(base.get(), "Shared", 4).data, DwordBytes(4));

    // A predefined root comes back as itself.
    HKEY root = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, &root), Status(ERROR_SUCCESS));
    EXPECT_EQ(root, HKEY_CURRENT_USER);
    EXPECT_EQ(RegCloseKey(root), Status(ERROR_SUCCESS));
}

// Each setting is read into a 32-bit number whatever its type; what fits
// arrives as stored, what does not reports the size it needs.
struct FourByteCase {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
    long status;
    DWORD size;
};

class RegistryFourByteTest : public RegistryTest,
                             public testing::WithParamInterface<FourByteCase> {};

TEST_P(RegistryFourByteTest, ReadsAnyTypeIntoFourBytes) {
    ASSERT_EQ(Set(base.get(), "Setting", GetParam().type, GetParam().data), Status(ERROR_SUCCESS));
    const Queried value = Query(base.get(), "Setting", 4);
    EXPECT_EQ(value.status, Status(GetParam().status));
    EXPECT_EQ(value.type, GetParam().type);
    EXPECT_EQ(value.size, GetParam().size);
    if (GetParam().status == Status(ERROR_SUCCESS)) {
        EXPECT_EQ(value.data, GetParam().data);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, RegistryFourByteTest,
    testing::Values(
        FourByteCase{"ShortString", REG_SZ, TextBytes(std::string("7\0", 2)), ERROR_SUCCESS, 2},
        FourByteCase{"ThreeCharacterString", REG_SZ, TextBytes(std::string("123\0", 4)),
                     ERROR_SUCCESS, 4},
        FourByteCase{"ExpandStringIsNotExpanded", REG_EXPAND_SZ, TextBytes(std::string("%A%\0", 4)),
                     ERROR_SUCCESS, 4},
        FourByteCase{"MultiString", REG_MULTI_SZ, TextBytes(std::string("a\0\0", 3)), ERROR_SUCCESS,
                     3},
        FourByteCase{"ShortBinary", REG_BINARY, {1, 2, 3}, ERROR_SUCCESS, 3},
        FourByteCase{"EmptyBinary", REG_BINARY, {}, ERROR_SUCCESS, 0},
        FourByteCase{"None", REG_NONE, {9, 8}, ERROR_SUCCESS, 2},
        FourByteCase{"BigEndianDword", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 3}, ERROR_SUCCESS, 4},
        FourByteCase{"Qword", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, ERROR_MORE_DATA, 8},
        FourByteCase{"LongBinary", REG_BINARY, {1, 2, 3, 4, 5}, ERROR_MORE_DATA, 5}),
    TestCaseNames::CaseName<FourByteCase>);

TEST_F(RegistryTest, AStringComesBackWithItsTerminator) {
    ASSERT_EQ(Set(base.get(), "Text", REG_SZ, TextBytes(std::string("hello\0", 6))),
              Status(ERROR_SUCCESS));
    const Queried value = Query(base.get(), "Text", 64);
    EXPECT_EQ(value.status, Status(ERROR_SUCCESS));
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.data, TextBytes(std::string("hello\0", 6)));

    // Sizes count the terminator too.
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(base.get(), "Text", nullptr, nullptr, nullptr, &size),
              Status(ERROR_SUCCESS));
    EXPECT_EQ(size, 6u);
    const Queried small = Query(base.get(), "Text", 5);
    EXPECT_EQ(small.status, Status(ERROR_MORE_DATA));
    EXPECT_EQ(small.size, 6u);
}

TEST_F(RegistryTest, SettingAValueReplacesItsType) {
    ASSERT_EQ(Set(base.get(), "Setting", REG_SZ, TextBytes(std::string("x\0", 2))),
              Status(ERROR_SUCCESS));
    ASSERT_EQ(Set(base.get(), "Setting", REG_DWORD, DwordBytes(9)), Status(ERROR_SUCCESS));
    const Queried value = Query(base.get(), "Setting", 4);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value.data, DwordBytes(9));
}

TEST_F(RegistryTest, NullAndClosedHandlesAreRefused) {
    HKEY result = nullptr;
    BYTE buffer[4] = {};
    DWORD size = sizeof buffer;
    EXPECT_EQ(RegOpenKeyExA(nullptr, "Software", 0, KEY_READ, &result),
              Status(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCreateKeyExA(nullptr, "Software", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &result, nullptr),
              Status(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegQueryValueExA(nullptr, "x", nullptr, nullptr, buffer, &size),
              Status(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegSetValueExA(nullptr, "x", 0, REG_DWORD, buffer, 4), Status(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCloseKey(nullptr), Status(ERROR_INVALID_HANDLE));

    HKEY closed = base.release();
    ASSERT_EQ(RegCloseKey(closed), Status(ERROR_SUCCESS));
    EXPECT_EQ(RegCloseKey(closed), Status(ERROR_INVALID_HANDLE));
}

}  // namespace
