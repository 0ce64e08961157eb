#include "files/file_errors.hpp"

#include <string>
#include <utility>

#include "errors/windows_error.hpp"
#include "platform/win32_api.hpp"

namespace {

enum class FileErrorKind {
    kFileIO,
    kFileNotFound,
    kDirectoryNotFound,
    kPermission,
    kLock,
    kDiskFull,
    kEndOfFile,
    kSeek,
};

// The two tables share their permission and lock rows; they differ where
// their switches differ.
FileErrorKind SharedKind(std::uint32_t code) {
    switch (code) {
        case ERROR_ACCESS_DENIED:
        case ERROR_INVALID_ACCESS:
        case ERROR_WRITE_PROTECT:
        case ERROR_WRITE_FAULT:
        case ERROR_NETWORK_BUSY:
        case ERROR_BAD_NET_RESP:
        case ERROR_NETNAME_DELETED:
        case ERROR_NETWORK_ACCESS_DENIED:
        case ERROR_REQ_NOT_ACCEP:
        case ERROR_FILE_EXISTS:
        case ERROR_CANNOT_MAKE:
        case ERROR_INVALID_PASSWORD:
        case ERROR_BUSY:
        case ERROR_ALREADY_EXISTS:
        case ERROR_SWAPERROR:
            return FileErrorKind::kPermission;
        case ERROR_LOCK_VIOLATION:
        case ERROR_DRIVE_LOCKED:
        case ERROR_LOCK_FAILED:
            return FileErrorKind::kLock;
        default:
            return FileErrorKind::kFileIO;
    }
}

FileErrorKind OpeningKind(std::uint32_t code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_INVALID_HANDLE:
        case ERROR_NO_MORE_FILES:
        case ERROR_DISK_CHANGE:
            return FileErrorKind::kFileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_NOT_SAME_DEVICE:
        case ERROR_WRONG_DISK:
        case ERROR_DUP_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_BAD_NET_NAME:
        case ERROR_SHARING_PAUSED:
        case ERROR_ALREADY_ASSIGNED:
        case ERROR_BUFFER_OVERFLOW:
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_LEVEL:
        case ERROR_NO_VOLUME_LABEL:
        case ERROR_DIR_NOT_ROOT:
        case ERROR_LABEL_TOO_LONG:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_META_EXPANSION_TOO_LONG:
        case ERROR_DIRECTORY:
            return FileErrorKind::kDirectoryNotFound;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
            return FileErrorKind::kDiskFull;
        default:
            // A sharing violation while opening is a plain FileIOError.
            return SharedKind(code);
    }
}

FileErrorKind ReadingKind(std::uint32_t code) {
    switch (code) {
        case ERROR_SHARING_VIOLATION:
            return FileErrorKind::kPermission;
        case ERROR_BAD_LENGTH:
        case ERROR_SEEK:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_READ_FAULT:
        case ERROR_NEGATIVE_SEEK:
        case ERROR_SEEK_ON_DEVICE:
            return FileErrorKind::kSeek;
        case ERROR_HANDLE_EOF:
            return FileErrorKind::kEndOfFile;
        default:
            return SharedKind(code);
    }
}

void Throw(FileErrorKind kind, const FilePath& path, std::uint32_t code) {
    switch (kind) {
        case FileErrorKind::kFileNotFound:
            throw FileNotFoundError(path, code);
        case FileErrorKind::kDirectoryNotFound:
            throw DirectoryNotFoundError(path, code);
        case FileErrorKind::kPermission:
            throw FilePermissionError(path, code);
        case FileErrorKind::kLock:
            throw FileLockError(path, code);
        case FileErrorKind::kDiskFull:
            throw DiskFullError(path, code);
        case FileErrorKind::kEndOfFile:
            throw EndOfFileError(path, code);
        case FileErrorKind::kSeek:
            throw FileSeekError(path, code);
        case FileErrorKind::kFileIO:
            break;
    }
    throw FileIOError(path.CStr(), path.CStr() + path.Length(), code);
}

}  // namespace

FileIOError::FileIOError(const char* first, const char* end, std::uint32_t code)
    : details(std::make_unique<FileIOErrorDetails>()) {
    details->code = code;
    details->path.assign(first, end);
}

FileIOError::FileIOError(const FileIOError& other)
    : DebuggableException(), details(std::make_unique<FileIOErrorDetails>()) {
    details->code = other.details->code;
    details->path = other.details->path;
}

FileIOError& FileIOError::operator=(const FileIOError& other) {
    if (this != &other) {
        auto copy = std::make_unique<FileIOErrorDetails>();
        copy->code = other.details->code;
        copy->path = other.details->path;
        details = std::move(copy);
    }
    return *this;
}

FileIOError::~FileIOError() = default;

// Code and path never change after construction, so the text built once
// stays right; building it only once also keeps every pointer handed out
// valid.
const char* FileIOError::what() const noexcept {
    if (!details->message.empty()) {
        return details->message.c_str();
    }
    try {
        std::string text = "File error \"";
        text += RunTimeClassName(*this);
        text += '"';
        if (!details->path.empty()) {
            text += " on \"";
            text += details->path;
            text += '"';
        }
        if (details->code != ERROR_SUCCESS) {
            text += ": ";
            text += WindowsErrorText(details->code);
        }
        details->message = std::move(text);
        return details->message.c_str();
    } catch (...) {
        return RunTimeClassName(*this);
    }
}

void ThrowFileError(const FilePath& path, std::uint32_t code) {
    if (code != ERROR_SUCCESS) {
        Throw(OpeningKind(code), path, code);
    }
}

void ThrowFileReadError(const FilePath& path, std::uint32_t code) {
    if (code != ERROR_SUCCESS) {
        Throw(ReadingKind(code), path, code);
    }
}
