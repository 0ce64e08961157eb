// The Linux stand-ins for the Win32 calls the system makes: the same names,
// argument lists and documented results, over POSIX files, errno and the C
// heap. Reached only through platform/win32_api.hpp.
//
// What stands for what:
// - A file HANDLE carries an open file descriptor (descriptor + 1, so that
//   no valid handle is null). The kernel's own file offset is the file
//   pointer. A stale or made-up handle therefore fails with
//   ERROR_INVALID_HANDLE instead of touching freed memory.
// - Every descriptor is opened close-on-exec and without becoming a
//   controlling terminal. Opening never blocks: a FIFO is opened
//   non-blocking, then switched back to blocking reads.
// - Share modes are accepted and not enforced: POSIX has no mandatory share
//   modes, and an advisory lock would not keep out a writer that ignores it.
//   A reader must therefore expect a file to change length under it.
// - Security attributes, template files and the attribute and flag bits of
//   CreateFileA are accepted and ignored; new files get mode 0666 less the
//   umask.
// - The last error is kept per thread. A call sets it when it fails; a
//   successful CreateFileA sets it to 0 (or ERROR_ALREADY_EXISTS); a
//   successful GetFileType, GetFileSize or SetFilePointer sets it to 0 only
//   when its result equals its failure value, which is how a caller tells
//   the two apart. Other successes leave it alone.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using SIZE_T = std::size_t;
using HANDLE = void*;
using HLOCAL = void*;
using HMODULE = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPDWORD = DWORD*;
using PLONG = LONG*;

// The result of a COM or shell call: negative is failure.
using HRESULT = LONG;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Overlapped (asynchronous) input is not offered: a call given one fails
// with ERROR_INVALID_PARAMETER.
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD FILE_SHARE_DELETE = 0x4;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD FILE_TYPE_UNKNOWN = 0x0000;
inline constexpr DWORD FILE_TYPE_DISK = 0x0001;
inline constexpr DWORD FILE_TYPE_CHAR = 0x0002;
inline constexpr DWORD FILE_TYPE_PIPE = 0x0003;
inline constexpr DWORD FILE_TYPE_REMOTE = 0x8000;

inline constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
inline constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
inline constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
inline constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;

inline constexpr UINT LMEM_FIXED = 0x0000;
inline constexpr UINT LMEM_MOVEABLE = 0x0002;
inline constexpr UINT LMEM_ZEROINIT = 0x0040;

// Windows system error codes.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD NO_ERROR = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_ACCESS = 12;
inline constexpr DWORD ERROR_INVALID_DRIVE = 15;
inline constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
inline constexpr DWORD ERROR_NO_MORE_FILES = 18;
inline constexpr DWORD ERROR_WRITE_PROTECT = 19;
inline constexpr DWORD ERROR_BAD_UNIT = 20;
inline constexpr DWORD ERROR_NOT_READY = 21;
inline constexpr DWORD ERROR_BAD_COMMAND = 22;
inline constexpr DWORD ERROR_CRC = 23;
inline constexpr DWORD ERROR_BAD_LENGTH = 24;
inline constexpr DWORD ERROR_SEEK = 25;
inline constexpr DWORD ERROR_SECTOR_NOT_FOUND = 27;
inline constexpr DWORD ERROR_WRITE_FAULT = 29;
inline constexpr DWORD ERROR_READ_FAULT = 30;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_LOCK_VIOLATION = 33;
inline constexpr DWORD ERROR_WRONG_DISK = 34;
inline constexpr DWORD ERROR_HANDLE_EOF = 38;
inline constexpr DWORD ERROR_HANDLE_DISK_FULL = 39;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_DUP_NAME = 52;
inline constexpr DWORD ERROR_BAD_NETPATH = 53;
inline constexpr DWORD ERROR_NETWORK_BUSY = 54;
inline constexpr DWORD ERROR_DEV_NOT_EXIST = 55;
inline constexpr DWORD ERROR_ADAP_HDW_ERR = 57;
inline constexpr DWORD ERROR_BAD_NET_RESP = 58;
inline constexpr DWORD ERROR_UNEXP_NET_ERR = 59;
inline constexpr DWORD ERROR_NETNAME_DELETED = 64;
inline constexpr DWORD ERROR_NETWORK_ACCESS_DENIED = 65;
inline constexpr DWORD ERROR_BAD_NET_NAME = 67;
inline constexpr DWORD ERROR_SHARING_PAUSED = 70;
inline constexpr DWORD ERROR_REQ_NOT_ACCEP = 71;
inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_CANNOT_MAKE = 82;
inline constexpr DWORD ERROR_ALREADY_ASSIGNED = 85;
inline constexpr DWORD ERROR_INVALID_PASSWORD = 86;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_NET_WRITE_FAULT = 88;
inline constexpr DWORD ERROR_DISK_CHANGE = 107;
inline constexpr DWORD ERROR_DRIVE_LOCKED = 108;
inline constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_INVALID_CATEGORY = 117;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_INVALID_LEVEL = 124;
inline constexpr DWORD ERROR_NO_VOLUME_LABEL = 125;
inline constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
inline constexpr DWORD ERROR_SEEK_ON_DEVICE = 132;
inline constexpr DWORD ERROR_DIR_NOT_ROOT = 144;
inline constexpr DWORD ERROR_LABEL_TOO_LONG = 154;
inline constexpr DWORD ERROR_BAD_PATHNAME = 161;
inline constexpr DWORD ERROR_LOCK_FAILED = 167;
inline constexpr DWORD ERROR_BUSY = 170;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD ERROR_META_EXPANSION_TOO_LONG = 208;
inline constexpr DWORD ERROR_FILE_TOO_LARGE = 223;
inline constexpr DWORD ERROR_DIRECTORY = 267;
inline constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
inline constexpr DWORD ERROR_OPERATION_ABORTED = 995;
inline constexpr DWORD ERROR_IO_INCOMPLETE = 996;
inline constexpr DWORD ERROR_IO_PENDING = 997;
inline constexpr DWORD ERROR_SWAPERROR = 999;
inline constexpr DWORD ERROR_IO_DEVICE = 1117;
inline constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
inline constexpr DWORD ERROR_CANT_RESOLVE_FILENAME = 1921;

// Files. Desired access is GENERIC_READ, GENERIC_WRITE or both; anything
// else fails with ERROR_INVALID_PARAMETER, as does an unknown creation
// disposition or TRUNCATE_EXISTING without GENERIC_WRITE. A directory is
// refused with ERROR_ACCESS_DENIED, as Windows refuses it without backup
// semantics (which are not offered).
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// FILE_TYPE_DISK for a regular file, FILE_TYPE_CHAR for a character device,
// FILE_TYPE_PIPE for a FIFO or a socket, FILE_TYPE_UNKNOWN with last error
// 0 for anything else (a block device, a directory).
DWORD GetFileType(HANDLE hFile);

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);

// Without lpDistanceToMoveHigh, a new position beyond 32 bits fails with
// ERROR_INVALID_PARAMETER and the pointer stays where it was.
DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                     DWORD dwMoveMethod);

// One read at the file pointer, retried when a signal interrupts it.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);

BOOL CloseHandle(HANDLE hObject);

DWORD GetLastError();

// Message texts. Supported: FORMAT_MESSAGE_FROM_SYSTEM,
// FORMAT_MESSAGE_ALLOCATE_BUFFER (through LocalAlloc), a caller's buffer of
// nSize characters (ERROR_INSUFFICIENT_BUFFER when the text and its
// terminator do not fit), FORMAT_MESSAGE_IGNORE_INSERTS (the texts have no
// inserts, so Arguments is never read) and FORMAT_MESSAGE_FROM_HMODULE,
// whose search always comes up empty since no module has a message table
// here: alone it fails with ERROR_RESOURCE_TYPE_NOT_FOUND, together with
// FORMAT_MESSAGE_FROM_SYSTEM the system's texts are searched next. Line
// width control and FORMAT_MESSAGE_FROM_STRING fail with
// ERROR_INVALID_PARAMETER. The texts exist in one language, returned for
// any dwLanguageId. An HRESULT that wraps a system error code (facility
// Win32, 0x8007xxxx) has that code's text. Returns the text's length without
// its terminator; every text ends in "\r\n". An id without a text fails
// with ERROR_MR_MID_NOT_FOUND.
DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, va_list* Arguments);

// The local heap. LMEM_FIXED memory, optionally LMEM_ZEROINIT; other flags
// fail with ERROR_INVALID_PARAMETER. Every block carries a signature, so
// LocalFree refuses memory that LocalAlloc did not hand out (returning it,
// with ERROR_INVALID_HANDLE) as long as the 16 bytes before it are
// readable.
HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes);
HLOCAL LocalFree(HLOCAL hMem);

// The registry and the critical sections have headers of their own.
#include "platform/posix/registry_posix.hpp"
#include "platform/posix/synchronization_posix.hpp"
