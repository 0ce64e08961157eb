#include "errors/crash_dump.hpp"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <typeinfo>

#include "errors/exceptions.hpp"
#include "platform/crash_dump_api.hpp"

namespace {

constexpr char kSettingsKey[] = "Software\\Quorvane";
constexpr char kCounterKey[] = "Software\\Quorvane\\Minidumps";
constexpr char kDumpFolder[] = "Quorvane";
constexpr char kDumpExtension[] = ".dmp";
constexpr char kSystemAccount[] = "SYSTEM";

constexpr DWORD kDefaultMaxDumpFiles = 5;
constexpr DWORD kUnlimitedDumpFiles = 0xFFFFFFFFu;

// The longest user name and its terminator.
constexpr DWORD kUserNameCapacity = 257;

static_assert(kDumpPathCapacity == MAX_PATH);

// Reads a 32-bit setting into `number`, which holds the default. A value of
// up to four bytes replaces its first bytes; when the read fails the
// default stays whole, whatever the registry left in the buffer. Returns
// whether the value was read.
bool ReadNumber(HKEY key, const char* valueName, DWORD& number) {
    DWORD value = number;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS) {
        return false;
    }
    number = value;
    return true;
}

// A setting under `root`\Software\Quorvane, opened for reading for this one
// value. `number` keeps its default when the key or the value is missing.
bool ReadSetting(HKEY root, const char* valueName, DWORD& number) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    const bool read = ReadNumber(key, valueName, number);
    RegCloseKey(key);
    return read;
}

// A function of a library loaded by name, in its own type; null when the
// library or the function is missing.
template <typename Function>
Function FindFunction(HMODULE library, const char* name) {
    if (library == nullptr) {
        return nullptr;
    }
    // The generic function pointer type converts to any other without a
    // complaint from the compiler; the name guarantees the real type.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// The running executable's full path, or false when it cannot be had whole.
bool GetExecutablePath(char (&path)[kDumpPathCapacity]) {
    const DWORD length = GetModuleFileNameA(nullptr, path, kDumpPathCapacity);
    // A path that fills the buffer was cut short: a dump named after it would
    // land somewhere else.
    return length != 0 && length < kDumpPathCapacity;
}

}  // namespace

bool IsDumpableException(const EXCEPTION_POINTERS* exception) noexcept {
    if (exception == nullptr || exception->ExceptionRecord == nullptr) {
        return false;
    }
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode != kThrownObjectExceptionCode ||
        record.NumberParameters != kThrownObjectParameterCount ||
        record.ExceptionInformation[kThrownObjectMagicParameter] != kThrownObjectMagic) {
        return false;
    }
    const auto* information = reinterpret_cast<const ThrownObjectInformation*>(
        record.ExceptionInformation[kThrowInformationParameter]);
    if (information == nullptr || information->catchableTypes == nullptr ||
        information->catchableTypes->types == nullptr) {
        return false;
    }
    const CatchableTypeList& catchable = *information->catchableTypes;
    for (std::uint32_t index = 0; index < catchable.count; ++index) {
        if (*catchable.types[index] == typeid(NonDumpableException)) {
            return false;
        }
    }
    return true;
}

LONG CrashDumpFilter(EXCEPTION_POINTERS* exception) noexcept {
    if (!IsDumpableException(exception) || !MiniDumpsEnabled()) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    DWORD dumpType = MiniDumpNormal;
    ReadSetting(HKEY_CURRENT_USER, "MINIDUMP_TYPE", dumpType);
    WriteMiniDump(exception, dumpType);
    return EXCEPTION_CONTINUE_SEARCH;
}

bool MiniDumpsEnabled() noexcept {
    DWORD enabled = 1;
    ReadSetting(HKEY_LOCAL_MACHINE, "WriteMiniDumps", enabled);
    return enabled != 0;
}

DWORD ReadMaxDumpFiles() noexcept {
    DWORD limit = kDefaultMaxDumpFiles;
    if (!ReadSetting(HKEY_LOCAL_MACHINE, "MaxDumpFiles", limit)) {
        return limit;
    }
    return limit == 0 ? kUnlimitedDumpFiles : limit;
}

LONG WriteMiniDump(EXCEPTION_POINTERS* exception, DWORD dumpType) noexcept {
    if (!IsDumpableException(exception) || !MiniDumpsEnabled()) {
        return 0;
    }
    const auto writeDump = FindFunction<decltype(&MiniDumpWriteDump)>(LoadLibraryA("dbghelp.dll"),
                                                                      "MiniDumpWriteDump");
    if (writeDump == nullptr) {
        return 0;
    }
    const HMODULE shellPaths = LoadLibraryA("shlwapi.dll");
    const auto findFileName =
        FindFunction<decltype(&PathFindFileNameA)>(shellPaths, "PathFindFileNameA");
    const auto append = FindFunction<decltype(&PathAppendA)>(shellPaths, "PathAppendA");
    const auto renameExtension =
        FindFunction<decltype(&PathRenameExtensionA)>(shellPaths, "PathRenameExtensionA");
    if (findFileName == nullptr || append == nullptr || renameExtension == nullptr) {
        return 0;
    }

    char userName[kUserNameCapacity];
    DWORD userNameSize = kUserNameCapacity;
    if (!GetUserNameA(userName, &userNameSize)) {
        return 0;
    }
    char path[kDumpPathCapacity];
    if (std::strcmp(userName, kSystemAccount) == 0) {
        // The system account has no folders of its own worth the name: its
        // dumps lie beside the executable.
        if (!GetExecutablePath(path)) {
            return 0;
        }
    } else {
        const auto getFolderPath = FindFunction<decltype(&SHGetFolderPathA)>(
            LoadLibraryA("shell32.dll"), "SHGetFolderPathA");
        if (getFolderPath == nullptr) {
            return 0;
        }
        char executable[kDumpPathCapacity];
        if (!GetExecutablePath(executable)) {
            return 0;
        }
        const char* const fileName = findFileName(executable);
        if (fileName == executable) {
            return 0;
        }
        if (getFolderPath(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                          SHGFP_TYPE_CURRENT, path) < 0) {
            return 0;
        }
        if (!append(path, kDumpFolder)) {
            return 0;
        }
        // An existing folder is as good as a new one; a folder that cannot be
        // made shows when the file cannot be created.
        CreateDirectoryA(path, nullptr);
        if (!append(path, fileName)) {
            return 0;
        }
    }

    const DWORD limit = ReadMaxDumpFiles();
    if (limit != 1 && !AppendDumpNumber(path, NextDumpNumber(path, limit))) {
        return 0;
    }
    if (!renameExtension(path, kDumpExtension)) {
        return 0;
    }
    const HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    MINIDUMP_EXCEPTION_INFORMATION information{};
    information.ThreadId = GetCurrentThreadId();
    information.ExceptionPointers = exception;
    information.ClientPointers = FALSE;
    writeDump(GetCurrentProcess(), GetCurrentProcessId(), file,
              static_cast<MINIDUMP_TYPE>(dumpType), &information, nullptr, nullptr);
    CloseHandle(file);
    return 0;
}

DWORD NextDumpNumber(const char* path, DWORD limit) noexcept {
    char valueName[kDumpPathCapacity];
    const std::size_t length = std::strlen(path);
    if (length >= kDumpPathCapacity) {
        return 0;
    }
    std::memcpy(valueName, path, length + 1);
    PathStripPathA(valueName);

    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kCounterKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD number = 0;
    ReadNumber(key, valueName, number);
    // A limit of 0 cannot come from the settings; taken as no limit, it
    // cannot divide by zero either.
    const DWORD next = (number + 1) % (limit == 0 ? kUnlimitedDumpFiles : limit);
    RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&next), sizeof next);
    RegCloseKey(key);
    return number;
}

bool AppendDumpNumber(char (&path)[kDumpPathCapacity], DWORD number) noexcept {
    PathRemoveExtensionA(path);
    const std::size_t length = std::strlen(path);
    if (length + 2 >= kDumpPathCapacity) {
        return false;
    }
    path[length] = '_';
    // Room for the digits and their terminator; one byte of the buffer stays
    // spare.
    char* const digits = path + length + 1;
    const std::size_t room = kDumpPathCapacity - 2 - length;
    const auto [end, failure] =
        std::to_chars(digits, digits + room - 1, static_cast<std::int32_t>(number));
    if (failure != std::errc{}) {
        path[length] = '\0';
        return false;
    }
    *end = '\0';
    return true;
}
