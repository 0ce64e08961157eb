#include "files/file_reading_path.hpp"

#include <type_traits>

#include "files/file_errors.hpp"
#include "platform/win32_api.hpp"

static_assert(std::is_same_v<HANDLE, void*>, "FileReadingPath holds a HANDLE as void*");

namespace WindowsPlatform {

FileReadingPath::FileReadingPath(const FilePath& path) {
    FileReadingPath::Open(path);
}

FileReadingPath::~FileReadingPath() {
    Close();
}

void FileReadingPath::Open(const FilePath& path) {
    OpenWith(path, GENERIC_READ, OPEN_EXISTING);
}

void FileReadingPath::OpenWith(const FilePath& path, std::uint32_t desiredAccess,
                               std::uint32_t creationDisposition) {
    Close();
    this->path.AssignTrimmed(path.CStr(), path.Length());

    HANDLE opened = CreateFileA(this->path.CStr(), desiredAccess, FILE_SHARE_READ, nullptr,
                                creationDisposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD failure = GetLastError();
        ThrowFileError(this->path, failure);
        // A failure that the platform left without a code is still a
        // failure to open.
        throw FileIOError(this->path.CStr(), this->path.CStr() + this->path.Length(), failure);
    }
    handle = opened;

    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_DISK) {
        return;
    }
    const DWORD failure = type == FILE_TYPE_UNKNOWN ? GetLastError() : ERROR_SUCCESS;
    Close();
    ThrowFileError(this->path, failure);
    // Consoles, pipes, folders and other devices are no files to read.
    throw FilePermissionError(this->path, ERROR_ACCESS_DENIED);
}

std::uint64_t FileReadingPath::GetSize() const {
    DWORD high = 0;
    const DWORD low = GetFileSize(handle, &high);
    if (low == INVALID_FILE_SIZE) {
        // The low half of a true size may equal the failure value; the
        // platform then reports no error.
        ThrowFileError(path, GetLastError());
    }
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

void FileReadingPath::Close() noexcept {
    if (handle == nullptr) {
        return;
    }
    HANDLE const held = handle;
    handle = nullptr;
    try {
        if (!CloseHandle(held)) {
            ThrowFileError(path, GetLastError());
        }
    } catch (...) {
        // Nothing can be done about a file that will not close, and a
        // destructor must not throw.
    }
}

}  // namespace WindowsPlatform
