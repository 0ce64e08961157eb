// The Linux stand-ins for the account, module, shell-folder, path and
// library calls that a crash dump needs: the same names, argument lists and
// documented results as the Windows calls.
//
// What stands for what:
// - The account's user name is its login name in the password database (of
//   the effective user id).
// - The process's own module is the running executable, /proc/self/exe.
// - The user's local application-data folder is the XDG data home:
//   $XDG_DATA_HOME when it is an absolute path, otherwise $HOME/.local/share
//   (HOME unset or relative: the account's home folder in the password
//   database).
// - Paths use '/' as their only separator; a file name's extension starts
//   at the last '.' of its last component. Paths are not canonicalised:
//   "." and ".." stay as they are.
// - The libraries "dbghelp.dll", "shlwapi.dll" and "shell32.dll" are built
//   in: LoadLibraryA finds them by name (case-insensitively, with or without
//   ".dll") and GetProcAddress finds the stand-ins of their functions that
//   this system uses. No other library can be loaded.
#pragma once

#include <cstdint>

#include "platform/win32_api.hpp"

inline constexpr DWORD MAX_PATH = 260;
// The longest user name, without its terminator.
inline constexpr DWORD UNLEN = 256;

inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_NONE_MAPPED = 1332;

struct HWND__;
using HWND = HWND__*;
using HINSTANCE = HMODULE;
using FARPROC = std::intptr_t (*)();

// The HRESULT that carries a Windows error code (facility Win32).
constexpr HRESULT HRESULT_FROM_WIN32(DWORD code) {
    return code == 0 ? 0 : static_cast<HRESULT>((code & 0xFFFFu) | 0x80070000u);
}

inline constexpr int CSIDL_LOCAL_APPDATA = 0x001C;
inline constexpr int CSIDL_FLAG_CREATE = 0x8000;
inline constexpr DWORD SHGFP_TYPE_CURRENT = 0;
inline constexpr DWORD SHGFP_TYPE_DEFAULT = 1;

// The login name of the account that runs the process. On success copies it
// with its terminator, sets *pcbBuffer to its length with the terminator and
// returns TRUE. Fails with ERROR_INSUFFICIENT_BUFFER (and *pcbBuffer set to
// the length needed) when it does not fit, ERROR_INVALID_PARAMETER for a
// null size, and ERROR_NONE_MAPPED when the account has no entry in the
// password database.
BOOL GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer);

// The full path of the running executable when hModule is null (the only
// module offered; any other handle fails with ERROR_INVALID_HANDLE). Returns
// its length without the terminator. When it does not fit, copies the first
// nSize - 1 characters and a terminator, returns nSize and sets
// ERROR_INSUFFICIENT_BUFFER. Returns 0 with the last error set when the path
// cannot be read.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

// Creates one folder (its parent must exist), mode 0777 less the umask.
// Security attributes are ignored. Fails with ERROR_ALREADY_EXISTS when the
// path names anything that exists, ERROR_PATH_NOT_FOUND when a folder on the
// way is missing, and the file layer's codes otherwise.
BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);

// Only CSIDL_LOCAL_APPDATA is known (E_INVALIDARG for any other folder).
// With CSIDL_FLAG_CREATE the folder and any missing folders above it are
// created (mode 0700, as the XDG rules ask); without it a missing folder
// fails with E_FAIL. The path, without a trailing '/', is written into
// pszPath, which must hold MAX_PATH characters; a longer path fails with
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE). hwnd and hToken are
// ignored; both SHGFP_TYPE values give the same folder. Returns S_OK.
HRESULT SHGetFolderPathA(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPSTR pszPath);

// The file-name part of pszPath: the character after its last '/', or the
// whole path when it has none. A '/' that ends the path does not count, so
// "/a/b/" gives "b/".
LPSTR PathFindFileNameA(LPCSTR pszPath);

// Appends pszMore to pszPath (a buffer of MAX_PATH characters) with exactly
// one '/' between them; leading '/' of pszMore are skipped, and an empty
// pszPath takes pszMore alone. Returns FALSE and leaves pszPath unchanged
// when the result would not fit.
BOOL PathAppendA(LPSTR pszPath, LPCSTR pszMore);

// Replaces the extension of pszPath's file name (from its last '.') by
// pszExt, or appends pszExt when there is none. Returns FALSE and leaves
// pszPath unchanged when the result would not fit in MAX_PATH characters.
BOOL PathRenameExtensionA(LPSTR pszPath, LPCSTR pszExt);

// Removes the extension of pszPath's file name, if it has one.
void PathRemoveExtensionA(LPSTR pszPath);

// Keeps only the file-name part of pszPath, moved to its start.
void PathStripPathA(LPSTR pszPath);

// The handle of a built-in library (see above); null with
// ERROR_MOD_NOT_FOUND for any other name. Nothing is ever loaded, so the
// handle needs no release.
HMODULE LoadLibraryA(LPCSTR lpLibFileName);

// The address of a function of a built-in library, by its exported name;
// null with ERROR_PROC_NOT_FOUND when the library has no such function and
// ERROR_INVALID_HANDLE when hModule is not a built-in library's handle.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
