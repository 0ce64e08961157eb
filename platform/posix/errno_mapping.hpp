// How the Linux stand-ins turn a POSIX failure into the Windows error code
// that the callers' error tables expect, and keep it as the calling thread's
// last error.
#pragma once

#include "platform/posix/win32_api_posix.hpp"

namespace PosixPlatform {

// Bit 29 marks a code as defined by an application rather than by Windows;
// an errno value without a Windows counterpart is carried under it, so the
// value is kept and no Windows text claims to describe it.
inline constexpr DWORD kUnmappedErrnoFlag = 0x20000000u;

// The Windows error code for `errorNumber`, the errno value of a call that
// was given `path` (or no path: null). The only mapping from errno in the
// stand-ins:
//
//   0                      0
//   ENOENT                 ERROR_FILE_NOT_FOUND when the folder that would
//                          hold the last part of `path` exists; otherwise
//                          (a folder on the way is missing, the path is
//                          empty) ERROR_PATH_NOT_FOUND; without a path,
//                          ERROR_FILE_NOT_FOUND
//   ENOTDIR                ERROR_PATH_NOT_FOUND
//   ENAMETOOLONG           ERROR_FILENAME_EXCED_RANGE
//   ELOOP                  ERROR_CANT_RESOLVE_FILENAME
//   EACCES, EPERM, EISDIR  ERROR_ACCESS_DENIED
//   ENXIO, ENODEV          ERROR_ACCESS_DENIED: a special file (a socket, a
//                          FIFO without a reader, a device without a
//                          driver) that cannot be opened as a file is
//                          refused as every non-disk file is
//   EROFS                  ERROR_WRITE_PROTECT
//   ETXTBSY                ERROR_SHARING_VIOLATION
//   EBUSY                  ERROR_BUSY
//   EEXIST                 ERROR_FILE_EXISTS
//   EMFILE, ENFILE         ERROR_TOO_MANY_OPEN_FILES
//   ENOMEM                 ERROR_NOT_ENOUGH_MEMORY
//   ENOSPC, EDQUOT         ERROR_DISK_FULL
//   EFBIG, EOVERFLOW       ERROR_FILE_TOO_LARGE
//   EBADF                  ERROR_INVALID_HANDLE
//   EINVAL                 ERROR_INVALID_PARAMETER
//   ESPIPE                 ERROR_SEEK_ON_DEVICE
//   EIO                    ERROR_IO_DEVICE
//   EINTR                  ERROR_OPERATION_ABORTED (the stand-ins retry
//                          interrupted calls, so it is seen only if a call
//                          cannot be retried)
//   EOPNOTSUPP             ERROR_NOT_SUPPORTED
//   anything else          kUnmappedErrnoFlag | errorNumber
//
// Never throws; when the folder check cannot be made, ENOENT gives
// ERROR_FILE_NOT_FOUND.
DWORD WindowsErrorFromErrno(int errorNumber, const char* path = nullptr) noexcept;

// Makes `code` the calling thread's last error, as GetLastError reports it.
void SetLastErrorCode(DWORD code) noexcept;

// SetLastErrorCode(WindowsErrorFromErrno(errorNumber, path)).
void SetLastErrorFromErrno(int errorNumber, const char* path = nullptr) noexcept;

}  // namespace PosixPlatform
