// Opening one file for reading, and owning its handle while it is read.
#pragma once

#include <cstdint>

#include "files/file_path.hpp"

namespace WindowsPlatform {

// One file, open for reading from construction to destruction: there is no
// closed state. The object is the only owner of its handle and is never
// copied. Every error it raises names the path it stores.
//
// Only ordinary files on a disk are opened: anything else (a folder, a
// console or other character device, a pipe) is refused with
// FilePermissionError and code 5 (ERROR_ACCESS_DENIED). While the file is
// open other readers are admitted and, where the platform enforces share
// modes, no writer.
class FileReadingPath {
  public:
    // Opens `path` with this class's own Open. Throws what Open throws; no
    // object exists then, and no handle is left open.
    explicit FileReadingPath(const FilePath& path);

    FileReadingPath(const FileReadingPath&) = delete;
    FileReadingPath& operator=(const FileReadingPath&) = delete;

    // Closes the file. A failure to close is dropped: never throws.
    virtual ~FileReadingPath();

    // OpenWith(path, GENERIC_READ, OPEN_EXISTING): a missing file is
    // reported, never created.
    virtual void Open(const FilePath& path);

    // Stores `path` without trailing separators and opens it with the
    // CreateFileA access and creation disposition given. A handle already
    // held is closed first. Throws, through ThrowFileError with the
    // platform's error code, when the file cannot be opened or its kind
    // cannot be told (FileNotFoundError with code 2 for a missing file,
    // DirectoryNotFoundError with code 3 for a missing folder on the path,
    // and so on); FilePermissionError with code 5 when it is not an
    // ordinary file on a disk. After a throw no handle is held.
    void OpenWith(const FilePath& path, std::uint32_t desiredAccess,
                  std::uint32_t creationDisposition);

    // The file's size in bytes, asked of the platform at each call. Throws
    // through ThrowFileError when the size cannot be taken.
    std::uint64_t GetSize() const;

    // The platform's handle of the open file.
    void* Handle() const { return handle; }

    // The path as opened, which every error of this object names.
    const FilePath& Path() const { return path; }

  private:
    // Closes the handle held, if any; drops any failure.
    void Close() noexcept;

    FilePath path;
    void* handle = nullptr;
};

}  // namespace WindowsPlatform
