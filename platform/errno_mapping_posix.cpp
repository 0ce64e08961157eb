#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/errno_mapping.hpp"

namespace PosixPlatform {

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

// Whether the folder that would hold the last part of `path` exists. The
// path is taken as the kernel takes it: '/' separates, trailing ones do not
// count.
bool ContainingFolderExists(const char* path) {
    std::string text(path);
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    const std::size_t separator = text.rfind('/');
    if (separator == std::string::npos) {
        return true;  // the current folder
    }
    const std::string folder = separator == 0 ? std::string("/") : text.substr(0, separator);
    struct stat status {};
    return ::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

DWORD NotFound(const char* path) noexcept {
    if (path == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (*path == '\0') {
        return ERROR_PATH_NOT_FOUND;
    }
    const int savedErrno = errno;
    DWORD code = ERROR_FILE_NOT_FOUND;
    try {
        code = ContainingFolderExists(path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    } catch (...) {
        // No memory for the folder's name: the plainer of the two answers.
    }
    errno = savedErrno;
    return code;
}

}  // namespace

DWORD WindowsErrorFromErrno(int errorNumber, const char* path) noexcept {
    switch (errorNumber) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return NotFound(path);
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ELOOP:
            return ERROR_CANT_RESOLVE_FILENAME;
        case EACCES:
        case EPERM:
        case EISDIR:
        case ENXIO:
        case ENODEV:
            return ERROR_ACCESS_DENIED;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case EBUSY:
            return ERROR_BUSY;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case EFBIG:
        case EOVERFLOW:
            return ERROR_FILE_TOO_LARGE;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ESPIPE:
            return ERROR_SEEK_ON_DEVICE;
        case EIO:
            return ERROR_IO_DEVICE;
        case EINTR:
            return ERROR_OPERATION_ABORTED;
        case EOPNOTSUPP:
            return ERROR_NOT_SUPPORTED;
        default:
            return kUnmappedErrnoFlag | static_cast<DWORD>(errorNumber);
    }
}

void SetLastErrorCode(DWORD code) noexcept {
    lastError = code;
}

void SetLastErrorFromErrno(int errorNumber, const char* path) noexcept {
    SetLastErrorCode(WindowsErrorFromErrno(errorNumber, path));
}

}  // namespace PosixPlatform

DWORD GetLastError() {
    return PosixPlatform::lastError;
}
