// The Linux stand-ins for the Win32 registry calls the system makes: the same
// names, argument lists and documented results, over text files.
//
// What stands for what:
// - A hive is one text file in the format regedit exports and imports
//   ("Windows Registry Editor Version 5.00", [key] sections, "name"=value
//   lines), so a settings file an administrator imports on Windows works
//   here unchanged. HKEY_LOCAL_MACHINE is /etc/skelvin/HKEY_LOCAL_MACHINE.reg;
//   HKEY_CURRENT_USER is HKEY_CURRENT_USER.reg in the folder "skelvin" of
//   the user's configuration folder (XDG_CONFIG_HOME when it is an absolute
//   path, else .config in the home folder: HOME when it is an absolute path,
//   else the account's home from the password database). A non-empty
//   SKELVIN_REGISTRY_DIR puts both files in that folder instead. The
//   locations are looked up at every call. HKEY_CLASSES_ROOT and HKEY_USERS
//   have no file: their root opens, nothing below it exists, and creating
//   keys or setting values there fails with ERROR_ACCESS_DENIED (for
//   HKEY_CURRENT_USER of an account without a home: ERROR_PATH_NOT_FOUND).
// - A missing file (or an empty one) is an empty hive. A file that cannot be
//   read or is not understood in every line (see below), or is larger than
//   kMaxRegistryHiveBytes, reads as a hive without keys and is never
//   written: RegCreateKeyExA and RegSetValueExA then fail with
//   ERROR_ACCESS_DENIED when reading it was refused, and with ERROR_BADDB
//   otherwise.
// - Reading understands: the header line (also "REGEDIT4", whose hex(1),
//   hex(2) and hex(7) data are 8-bit text rather than UTF-16); UTF-16LE with
//   a byte order mark (regedit's own export), UTF-8 with or without one;
//   CRLF or LF line ends; blank lines; lines starting with ';'; [key] and
//   [-key] (the key and everything below it removed, as far as the file has
//   come) sections applied in file order, a key existing when a section names
//   it or something below it; "name" or @ (the default value) followed by
//   =-, ="text" (with \\ and \" escapes), =dword:1-8 hex digits,
//   =hex:bytes or =hex(type):bytes, hex data continued over lines ending in
//   '\'. Spaces and tabs around a line and around '=' are allowed. Sections
//   of another hive are kept but not read; values after a [-key] section are
//   ignored. Everything else (a value before the first section, an unknown
//   hive name, an empty or too long key name, a bad escape, a bad hex list,
//   a NUL or a byte sequence that is not text in the file's encoding) makes
//   the file damaged.
// - Every write re-reads the file and changes only what the call changes: a
//   value's own line (with its continuation lines) is replaced where it
//   stands; a new value goes after the last value of its key's last section;
//   a key without a section of its own gets one at the end of the file.
//   Everything else, comments and blank lines included, keeps its bytes, and
//   the file keeps its encoding, byte order mark and line ends (a new file is
//   UTF-8 with LF line ends, starting with the header and a blank line). The
//   new text goes to a temporary file in the same folder, is flushed to the
//   disk and renamed over the hive (through a symbolic link to its target),
//   so a reader sees the old file or the new one, never a mix. The file keeps
//   its permission bits (and, where the process may, its owner); a new file
//   gets 0600 for HKEY_CURRENT_USER and 0644 for HKEY_LOCAL_MACHINE. Missing
//   folders of the HKEY_CURRENT_USER file are created with mode 0700; those
//   of the HKEY_LOCAL_MACHINE file are left to the administrator, and their
//   absence fails with ERROR_PATH_NOT_FOUND. Other failures of the file
//   system give the code of platform/posix/errno_mapping.hpp, or
//   ERROR_CANTWRITE where it has none. A write that would make the file
//   larger than kMaxRegistryHiveBytes fails with ERROR_OUTOFMEMORY.
// - Values are written as regedit writes them: REG_DWORD of four bytes as
//   dword:%08x, REG_SZ as a quoted string when it is one line of text ended
//   by exactly one terminator, everything else as hex: (REG_BINARY) or
//   hex(type): with lines of at most 80 columns.
// - The "A" calls' code page is UTF-8. String values (REG_SZ, REG_EXPAND_SZ,
//   REG_MULTI_SZ) are kept as UTF-16LE, as the registry keeps them, and the
//   calls convert them, so sizes are those of the converted bytes,
//   terminators included as stored. A byte sequence that is not UTF-8 turns
//   into U+FFFD.
// - Key and value names compare without case for the letters of ASCII,
//   Latin-1, Latin Extended-A, Greek and Cyrillic. A key name part is at most 255 UTF-16
//   units, a value name at most 16383; longer ones, names that are not UTF-8
//   and names holding a line break are refused with
//   ERROR_INVALID_PARAMETER by the calls that create or set (and are simply
//   not found by the others). An empty part in a subkey path (a leading or
//   doubled backslash) is refused with ERROR_BAD_PATHNAME; one trailing
//   backslash is allowed.
// - An HKEY other than the predefined roots is a heap object holding the
//   hive, the key's path and the granted rights; only keys this process
//   opened and has not closed are accepted, anything else fails with
//   ERROR_INVALID_HANDLE. The predefined roots hold every right and need no
//   closing. Rights are those asked for, the generic ones mapped as Windows
//   maps them; they are not weighed against file permissions until a write.
//   Querying needs KEY_QUERY_VALUE and setting needs KEY_SET_VALUE on the
//   handle, or the call fails with ERROR_ACCESS_DENIED; creating a subkey
//   does not depend on the handle's rights. A call on a key that the file no
//   longer holds fails with ERROR_KEY_DELETED.
// - Class names, security attributes and RegOpenKeyExA's options are
//   accepted and ignored. Volatile keys, symbolic links and backup semantics
//   are not offered: RegCreateKeyExA with any option but
//   REG_OPTION_NON_VOLATILE fails with ERROR_INVALID_PARAMETER.
// - Calls from different threads are serialised by one lock, so the
//   rewrites of one process never interleave. Two processes that write the
//   same hive at the same moment may lose one of the two changes.
// - No call throws. Running out of memory gives ERROR_NOT_ENOUGH_MEMORY.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/posix/win32_api_posix.hpp"

namespace PosixPlatform {
struct RegistryKey;

// A hive file larger than this is damaged; no write makes one larger.
inline constexpr std::size_t kMaxRegistryHiveBytes = 4 * 1024 * 1024;
}  // namespace PosixPlatform

using HKEY = PosixPlatform::RegistryKey*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LSTATUS = LONG;
using LPBYTE = BYTE*;

// The predefined roots, with the values Windows gives them (a 32-bit
// negative number widened to a pointer).
inline const HKEY HKEY_CLASSES_ROOT =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000000u)));
inline const HKEY HKEY_CURRENT_USER =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000001u)));
inline const HKEY HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000002u)));
inline const HKEY HKEY_USERS =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000003u)));

// Access rights.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_EXECUTE = 0x20019;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
inline constexpr REGSAM MAXIMUM_ALLOWED = 0x02000000;
inline constexpr REGSAM GENERIC_EXECUTE = 0x20000000;
inline constexpr REGSAM GENERIC_ALL = 0x10000000;

// RegCreateKeyExA's options and dispositions.
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0x0;
inline constexpr DWORD REG_OPTION_VOLATILE = 0x1;
inline constexpr DWORD REG_OPTION_CREATE_LINK = 0x2;
inline constexpr DWORD REG_OPTION_BACKUP_RESTORE = 0x4;
inline constexpr DWORD REG_OPTION_OPEN_LINK = 0x8;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;
inline constexpr DWORD REG_QWORD_LITTLE_ENDIAN = 11;

// The error codes the registry calls add to the file layer's.
inline constexpr DWORD ERROR_OUTOFMEMORY = 14;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_NOACCESS = 998;
inline constexpr DWORD ERROR_BADDB = 1009;
inline constexpr DWORD ERROR_CANTWRITE = 1013;
inline constexpr DWORD ERROR_KEY_DELETED = 1018;

// Opens lpSubKey below hKey (a null or empty lpSubKey: hKey itself, for a
// predefined root the root itself). On success *phkResult is the new key;
// on failure it is null: ERROR_FILE_NOT_FOUND for a key that does not exist,
// ERROR_INVALID_PARAMETER without phkResult.
LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                      PHKEY phkResult);

// Opens lpSubKey below hKey, creating it and every missing key above it
// when it does not exist; *lpdwDisposition (when given) tells
// REG_CREATED_NEW_KEY from REG_OPENED_EXISTING_KEY. lpSubKey may be empty
// but not null, Reserved must be 0 (both else ERROR_INVALID_PARAMETER).
LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, const SECURITY_ATTRIBUTES* lpSecurityAttributes,
                        PHKEY phkResult, LPDWORD lpdwDisposition);

// The type (into *lpType) and data of a value; a null or empty name is the
// key's default value. Without lpData, *lpcbData receives the size only.
// With a buffer smaller than the data the call fails with ERROR_MORE_DATA,
// *lpcbData holds the size needed and the buffer's contents are undefined.
// ERROR_FILE_NOT_FOUND for a missing value; lpReserved must be null, and
// lpcbData may be null only without lpData (else ERROR_INVALID_PARAMETER).
LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                         LPBYTE lpData, LPDWORD lpcbData);

// Stores cbData bytes from lpData as a value of dwType (any number) under
// lpValueName (null or empty: the default value), replacing what was there.
// Null data with a non-zero size fails with ERROR_NOACCESS.
LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                       const BYTE* lpData, DWORD cbData);

// Frees a key that RegOpenKeyExA or RegCreateKeyExA handed out; a
// predefined root is accepted and stays usable.
LSTATUS RegCloseKey(HKEY hKey);

namespace PosixPlatform {

// The file that holds `root`'s hive for this process as the calls above
// find it now, or an empty text for a root without a file (or a key that is
// not a predefined root). Throws std::bad_alloc.
std::string RegistryHiveFile(HKEY root);

}  // namespace PosixPlatform
