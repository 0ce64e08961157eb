#include "files/file_reader.hpp"

#include <algorithm>
#include <cstddef>

#include "errors/exceptions.hpp"
#include "files/file_errors.hpp"
#include "platform/win32_api.hpp"

namespace {

// The most that one ReadFile call can be asked for.
constexpr std::size_t kMaximumReadCount = 0xFFFFFFFFu;

std::uint32_t ReadCount(const Byte* first, const Byte* end) {
    return static_cast<std::uint32_t>(
        std::min(static_cast<std::size_t>(end - first), kMaximumReadCount));
}

}  // namespace

void FileReader::Attach(WindowsPlatform::FileReadingPath& file, std::uint64_t start) {
    const std::uint64_t fileSize = file.GetSize();
    this->file = &file;
    size = fileSize;
    position = start;
}

bool FileReader::AtEnd() const {
    return position >= size;
}

DataReader& FileReader::Read(Byte* first, Byte* end) {
    Byte* cursor = first;
    while (cursor != end && file != nullptr) {
        const std::uint32_t count = ReadAtPosition(cursor, ReadCount(cursor, end));
        if (count == 0) {
            break;
        }
        cursor += count;
    }
    if (cursor != end) {
        throw NoMoreData();
    }
    return *this;
}

DataReader& FileReader::ReadSome(MutableData& data) {
    if (AtEnd() || data.cursor == data.end) {
        return *this;
    }
    data.cursor += ReadAtPosition(data.cursor, ReadCount(data.cursor, data.end));
    return *this;
}

std::uint32_t FileReader::ReadAtPosition(Byte* first, std::uint32_t count) {
    const FilePath& path = file->Path();
    HANDLE const handle = file->Handle();

    LONG high = static_cast<LONG>(position >> 32);
    const DWORD low =
        SetFilePointer(handle, static_cast<LONG>(position & 0xFFFFFFFFu), &high, FILE_BEGIN);
    // A low half of all ones is also a valid position; only the error code
    // tells a failure.
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        throw FileSeekError(path, ERROR_SUCCESS);
    }

    DWORD read = 0;
    if (!ReadFile(handle, first, count, &read, nullptr)) {
        const DWORD failure = GetLastError();
        ThrowFileReadError(path, failure);
        throw FileIOError(path.CStr(), path.CStr() + path.Length(), failure);
    }
    position += read;
    return read;
}
