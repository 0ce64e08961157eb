#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <string>

#include "platform/posix/errno_mapping.hpp"
#include "platform/posix/minidump_posix.hpp"
#include "platform/posix/shell_posix.hpp"

using PosixPlatform::SetLastErrorCode;
using PosixPlatform::SetLastErrorFromErrno;

namespace {

// The password database entry of the effective user, in storage that the
// caller frees. Null with errno set (0 when the account has no entry).
struct PasswordEntry {
    passwd entry{};
    char* storage = nullptr;

    PasswordEntry() = default;
    PasswordEntry(const PasswordEntry&) = delete;
    PasswordEntry& operator=(const PasswordEntry&) = delete;
    ~PasswordEntry() { std::free(storage); }

    bool Load() {
        long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::size_t size = suggested > 0 ? static_cast<std::size_t>(suggested) : 1024;
        for (;;) {
            char* grown = static_cast<char*>(std::realloc(storage, size));
            if (grown == nullptr) {
                errno = ENOMEM;
                return false;
            }
            storage = grown;
            passwd* found = nullptr;
            const int failure = ::getpwuid_r(::geteuid(), &entry, storage, size, &found);
            if (failure == ERANGE && size < (std::size_t{1} << 20)) {
                size *= 2;
                continue;
            }
            errno = failure;
            return failure == 0 && found != nullptr;
        }
    }
};

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

// The XDG data home: $XDG_DATA_HOME when absolute, otherwise the home
// folder's ".local/share". Empty when there is no home folder to be found.
std::string DataHome() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (IsAbsolute(dataHome)) {
        return dataHome;
    }
    std::string home;
    const char* homeVariable = std::getenv("HOME");
    if (IsAbsolute(homeVariable)) {
        home = homeVariable;
    } else {
        PasswordEntry account;
        if (!account.Load() || !IsAbsolute(account.entry.pw_dir)) {
            return {};
        }
        home = account.entry.pw_dir;
    }
    while (home.size() > 1 && home.back() == '/') {
        home.pop_back();
    }
    return home == "/" ? "/.local/share" : home + "/.local/share";
}

// Creates `path` and every missing folder above it, each with `mode`.
// Returns 0 or the errno of the first failure.
int CreateFolders(const std::string& path, mode_t mode) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) {
            return errno;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return errno;
    }
    return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
}

// Where the extension of `path`'s file name starts: its last '.', or the
// terminator when it has none.
char* ExtensionOf(char* path) {
    char* const name = PathFindFileNameA(path);
    char* const dot = std::strrchr(name, '.');
    return dot != nullptr ? dot : name + std::strlen(name);
}

char LowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the first `length` characters of `text` are `name`, ignoring case.
bool EqualIgnoringCase(const char* text, std::size_t length, const char* name) {
    for (std::size_t index = 0; index < length; ++index) {
        if (name[index] == '\0' || LowerCase(text[index]) != LowerCase(name[index])) {
            return false;
        }
    }
    return name[length] == '\0';
}

// Every function of a built-in library has the generic pointer type until
// its caller casts it back.
using GenericFunction = void (*)();

template <typename Function>
FARPROC Exported(Function function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<GenericFunction>(function));
}

struct ExportedFunction {
    const char* name;
    FARPROC address;
};

struct BuiltInLibrary {
    const char* name;
    const ExportedFunction* functions;
    std::size_t functionCount;
};

const ExportedFunction kDebugHelpFunctions[] = {
    {"MiniDumpWriteDump", Exported(&MiniDumpWriteDump)},
};
const ExportedFunction kShellPathFunctions[] = {
    {"PathFindFileNameA", Exported(&PathFindFileNameA)},
    {"PathAppendA", Exported(&PathAppendA)},
    {"PathRenameExtensionA", Exported(&PathRenameExtensionA)},
    {"PathRemoveExtensionA", Exported(&PathRemoveExtensionA)},
    {"PathStripPathA", Exported(&PathStripPathA)},
};
const ExportedFunction kShellFunctions[] = {
    {"SHGetFolderPathA", Exported(&SHGetFolderPathA)},
};

const BuiltInLibrary kLibraries[] = {
    {"dbghelp", kDebugHelpFunctions, std::size(kDebugHelpFunctions)},
    {"shlwapi", kShellPathFunctions, std::size(kShellPathFunctions)},
    {"shell32", kShellFunctions, std::size(kShellFunctions)},
};

}  // namespace

BOOL GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer) {
    if (pcbBuffer == nullptr) {
        SetLastErrorCode(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PasswordEntry account;
    if (!account.Load()) {
        SetLastErrorCode(errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_NONE_MAPPED);
        return FALSE;
    }
    const std::size_t needed = std::strlen(account.entry.pw_name) + 1;
    if (needed > UNLEN + 1 || lpBuffer == nullptr || *pcbBuffer < needed) {
        *pcbBuffer = static_cast<DWORD>(needed);
        SetLastErrorCode(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(lpBuffer, account.entry.pw_name, needed);
    *pcbBuffer = static_cast<DWORD>(needed);
    return TRUE;
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    if (hModule != nullptr) {
        SetLastErrorCode(ERROR_INVALID_HANDLE);
        return 0;
    }
    char path[4096 + 1];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
    if (length < 0) {
        SetLastErrorFromErrno(errno, nullptr);
        return 0;
    }
    if (static_cast<std::size_t>(length) >= sizeof path) {
        SetLastErrorCode(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    if (nSize == 0 || lpFilename == nullptr) {
        SetLastErrorCode(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    if (static_cast<std::size_t>(length) >= nSize) {
        std::memcpy(lpFilename, path, nSize - 1);
        lpFilename[nSize - 1] = '\0';
        SetLastErrorCode(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::memcpy(lpFilename, path, static_cast<std::size_t>(length));
    lpFilename[length] = '\0';
    return static_cast<DWORD>(length);
}

BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    if (lpPathName == nullptr) {
        SetLastErrorCode(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (::mkdir(lpPathName, 0777) == 0) {
        return TRUE;
    }
    if (errno == EEXIST) {
        SetLastErrorCode(ERROR_ALREADY_EXISTS);
    } else {
        SetLastErrorFromErrno(errno, lpPathName);
    }
    return FALSE;
}

HRESULT SHGetFolderPathA(HWND, int csidl, HANDLE, DWORD, LPSTR pszPath) {
    if ((csidl & ~CSIDL_FLAG_CREATE) != CSIDL_LOCAL_APPDATA || pszPath == nullptr) {
        return E_INVALIDARG;
    }
    try {
        const std::string folder = DataHome();
        if (folder.empty()) {
            return E_FAIL;
        }
        if (folder.size() >= MAX_PATH) {
            return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        }
        struct stat status {};
        if ((csidl & CSIDL_FLAG_CREATE) != 0) {
            if (const int failure = CreateFolders(folder, 0700); failure != 0) {
                return HRESULT_FROM_WIN32(
                    PosixPlatform::WindowsErrorFromErrno(failure, folder.c_str()));
            }
        } else if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
            return E_FAIL;
        }
        std::memcpy(pszPath, folder.c_str(), folder.size() + 1);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

LPSTR PathFindFileNameA(LPCSTR pszPath) {
    const char* name = pszPath;
    for (const char* at = pszPath; *at != '\0'; ++at) {
        if (*at == '/' && at[1] != '\0') {
            name = at + 1;
        }
    }
    return const_cast<LPSTR>(name);
}

BOOL PathAppendA(LPSTR pszPath, LPCSTR pszMore) {
    while (*pszMore == '/') {
        ++pszMore;
    }
    std::size_t length = std::strlen(pszPath);
    const bool needsSeparator = length > 0 && pszPath[length - 1] != '/' && *pszMore != '\0';
    const std::size_t moreLength = std::strlen(pszMore);
    if (length + (needsSeparator ? 1 : 0) + moreLength >= MAX_PATH) {
        return FALSE;
    }
    if (needsSeparator) {
        pszPath[length++] = '/';
    }
    std::memmove(pszPath + length, pszMore, moreLength + 1);
    return TRUE;
}

BOOL PathRenameExtensionA(LPSTR pszPath, LPCSTR pszExt) {
    char* const extension = ExtensionOf(pszPath);
    const std::size_t kept = static_cast<std::size_t>(extension - pszPath);
    const std::size_t added = std::strlen(pszExt);
    if (kept + added >= MAX_PATH) {
        return FALSE;
    }
    std::memmove(extension, pszExt, added + 1);
    return TRUE;
}

void PathRemoveExtensionA(LPSTR pszPath) {
    *ExtensionOf(pszPath) = '\0';
}

void PathStripPathA(LPSTR pszPath) {
    const char* const name = PathFindFileNameA(pszPath);
    std::memmove(pszPath, name, std::strlen(name) + 1);
}

HMODULE LoadLibraryA(LPCSTR lpLibFileName) {
    if (lpLibFileName != nullptr) {
        std::size_t length = std::strlen(lpLibFileName);
        if (length > 4 && EqualIgnoringCase(lpLibFileName + length - 4, 4, ".dll")) {
            length -= 4;
        }
        for (const BuiltInLibrary& library : kLibraries) {
            if (EqualIgnoringCase(lpLibFileName, length, library.name)) {
                return const_cast<BuiltInLibrary*>(&library);
            }
        }
    }
    SetLastErrorCode(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    for (const BuiltInLibrary& library : kLibraries) {
        if (hModule != &library) {
            continue;
        }
        for (std::size_t index = 0; lpProcName != nullptr && index < library.functionCount;
             ++index) {
            if (std::strcmp(library.functions[index].name, lpProcName) == 0) {
                return library.functions[index].address;
            }
        }
        SetLastErrorCode(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    SetLastErrorCode(ERROR_INVALID_HANDLE);
    return nullptr;
}
