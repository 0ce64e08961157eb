#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <limits>

#include "platform/posix/errno_mapping.hpp"
#include "platform/posix/file_handles.hpp"
#include "platform/posix/win32_api_posix.hpp"

using PosixPlatform::SetLastErrorCode;
using PosixPlatform::SetLastErrorFromErrno;

namespace {

static_assert(sizeof(off_t) == 8, "file positions and sizes are 64-bit");

using PosixPlatform::DescriptorOf;
using PosixPlatform::HandleOf;

HANDLE FailWith(DWORD code) {
    SetLastErrorCode(code);
    return INVALID_HANDLE_VALUE;
}

int OpenRetrying(const char* path, int flags) {
    for (;;) {
        const int descriptor = ::open(path, flags, 0666);
        if (descriptor >= 0 || errno != EINTR) {
            return descriptor;
        }
    }
}

// Opens `path` with `flags`, creating the file under the dispositions that
// may create it. `existed` tells whether the file was there before.
int OpenForDisposition(const char* path, int flags, DWORD disposition, bool& existed) {
    existed = false;
    switch (disposition) {
        case CREATE_NEW:
            return OpenRetrying(path, flags | O_CREAT | O_EXCL);
        case OPEN_EXISTING:
            return OpenRetrying(path, flags);
        case TRUNCATE_EXISTING:
            return OpenRetrying(path, flags | O_TRUNC);
        case CREATE_ALWAYS:
        case OPEN_ALWAYS: {
            const int existingFlags = disposition == CREATE_ALWAYS ? flags | O_TRUNC : flags;
            // The file may come or go between the two tries; try again
            // until one of them answers for certain.
            for (;;) {
                const int created = OpenRetrying(path, flags | O_CREAT | O_EXCL);
                if (created >= 0 || errno != EEXIST) {
                    return created;
                }
                const int opened = OpenRetrying(path, existingFlags);
                if (opened >= 0 || errno != ENOENT) {
                    existed = opened >= 0;
                    return opened;
                }
            }
        }
        default:
            errno = EINVAL;
            return -1;
    }
}

}  // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD /*dwShareMode*/,
                   LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                   DWORD /*dwFlagsAndAttributes*/, HANDLE /*hTemplateFile*/) {
    if (lpFileName == nullptr) {
        return FailWith(ERROR_INVALID_PARAMETER);
    }
    int flags = 0;
    switch (dwDesiredAccess) {
        case GENERIC_READ:
            flags = O_RDONLY;
            break;
        case GENERIC_WRITE:
            flags = O_WRONLY;
            break;
        case GENERIC_READ | GENERIC_WRITE:
            flags = O_RDWR;
            break;
        default:
            return FailWith(ERROR_INVALID_PARAMETER);
    }
    if (dwCreationDisposition == TRUNCATE_EXISTING && (dwDesiredAccess & GENERIC_WRITE) == 0) {
        return FailWith(ERROR_INVALID_PARAMETER);
    }
    // Non-blocking so that a FIFO without a writer cannot hold the open up.
    flags |= O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

    bool existed = false;
    const int descriptor = OpenForDisposition(lpFileName, flags, dwCreationDisposition, existed);
    if (descriptor < 0) {
        SetLastErrorFromErrno(errno, lpFileName);
        return INVALID_HANDLE_VALUE;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        const int failure = errno;
        ::close(descriptor);
        SetLastErrorFromErrno(failure, lpFileName);
        return INVALID_HANDLE_VALUE;
    }
    if (S_ISDIR(status.st_mode)) {
        ::close(descriptor);
        return FailWith(ERROR_ACCESS_DENIED);
    }
    // Reads block from here on, as a synchronous ReadFile does.
    const int statusFlags = ::fcntl(descriptor, F_GETFL);
    if (statusFlags == -1 || ::fcntl(descriptor, F_SETFL, statusFlags & ~O_NONBLOCK) == -1) {
        const int failure = errno;
        ::close(descriptor);
        SetLastErrorFromErrno(failure, lpFileName);
        return INVALID_HANDLE_VALUE;
    }
    SetLastErrorCode(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return HandleOf(descriptor);
}

DWORD GetFileType(HANDLE hFile) {
    struct stat status {};
    if (::fstat(DescriptorOf(hFile), &status) != 0) {
        SetLastErrorFromErrno(errno);
        return FILE_TYPE_UNKNOWN;
    }
    if (S_ISREG(status.st_mode)) {
        return FILE_TYPE_DISK;
    }
    if (S_ISCHR(status.st_mode)) {
        return FILE_TYPE_CHAR;
    }
    if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) {
        return FILE_TYPE_PIPE;
    }
    SetLastErrorCode(ERROR_SUCCESS);
    return FILE_TYPE_UNKNOWN;
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    struct stat status {};
    if (::fstat(DescriptorOf(hFile), &status) != 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_FILE_SIZE;
    }
    const auto size = static_cast<std::uint64_t>(status.st_size);
    if (lpFileSizeHigh != nullptr) {
        *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    }
    const auto low = static_cast<DWORD>(size);
    if (low == INVALID_FILE_SIZE) {
        SetLastErrorCode(ERROR_SUCCESS);
    }
    return low;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                     DWORD dwMoveMethod) {
    const int descriptor = DescriptorOf(hFile);
    if (descriptor < 0) {
        SetLastErrorCode(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    // With a high half the two halves form one signed 64-bit distance;
    // without one the low half alone is signed.
    std::int64_t distance = lDistanceToMove;
    if (lpDistanceToMoveHigh != nullptr) {
        const std::uint64_t bits =
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*lpDistanceToMoveHigh)) << 32) |
            static_cast<std::uint32_t>(lDistanceToMove);
        distance = static_cast<std::int64_t>(bits);
    }
    std::int64_t origin = 0;
    switch (dwMoveMethod) {
        case FILE_BEGIN:
            break;
        case FILE_CURRENT:
            origin = ::lseek(descriptor, 0, SEEK_CUR);
            break;
        case FILE_END: {
            struct stat status {};
            origin = ::fstat(descriptor, &status) == 0 ? status.st_size : -1;
            break;
        }
        default:
            SetLastErrorCode(ERROR_INVALID_PARAMETER);
            return INVALID_SET_FILE_POINTER;
    }
    if (origin < 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    std::int64_t target = 0;
    if (__builtin_add_overflow(origin, distance, &target)) {
        SetLastErrorCode(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (target < 0) {
        SetLastErrorCode(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh == nullptr && target > std::numeric_limits<std::uint32_t>::max()) {
        SetLastErrorCode(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (::lseek(descriptor, target, SEEK_SET) < 0) {
        SetLastErrorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh != nullptr) {
        *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<std::uint64_t>(target) >> 32);
    }
    const auto low = static_cast<DWORD>(target);
    if (low == INVALID_SET_FILE_POINTER) {
        SetLastErrorCode(ERROR_SUCCESS);
    }
    return low;
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    if (lpOverlapped != nullptr || lpNumberOfBytesRead == nullptr ||
        (lpBuffer == nullptr && nNumberOfBytesToRead != 0)) {
        SetLastErrorCode(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpNumberOfBytesRead = 0;
    const int descriptor = DescriptorOf(hFile);
    if (descriptor < 0) {
        SetLastErrorCode(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    for (;;) {
        const ssize_t count = ::read(descriptor, lpBuffer, nNumberOfBytesToRead);
        if (count >= 0) {
            *lpNumberOfBytesRead = static_cast<DWORD>(count);
            return TRUE;
        }
        if (errno != EINTR) {
            SetLastErrorFromErrno(errno);
            return FALSE;
        }
    }
}

BOOL CloseHandle(HANDLE hObject) {
    const int descriptor = DescriptorOf(hObject);
    if (descriptor < 0) {
        SetLastErrorCode(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Linux releases the descriptor even when close is interrupted, so
    // EINTR is a completed close, never one to repeat.
    if (::close(descriptor) != 0 && errno != EINTR) {
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}
