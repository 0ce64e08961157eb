// The errors of the file layer, and the two tables that turn a Windows error
// code into one of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "errors/exceptions.hpp"
#include "files/file_path.hpp"

// What a file error knows about its failure.
struct FileIOErrorDetails {
    // The Windows error code of the failure; 0 when there is none.
    std::uint32_t code = 0;
    // The path the failure concerns; may be empty.
    std::string path;
    // The text that `what` built; empty until then.
    std::string message;
};

// A failure of the file layer. The subclasses differ only in their class,
// so that a handler can catch one kind of failure by type.
//
// Its text, built at the first `what` and kept:
//   File error "<run-time class name>"
// followed, when the path is not empty, by
//    on "<path>"
// and, when the code is not 0, by
//   : <WindowsErrorText of the code>
class FileIOError : public DebuggableException {
  public:
    // The path as the characters [first, end). Throws std::bad_alloc when
    // out of memory.
    FileIOError(const char* first, const char* end, std::uint32_t code);

    // Copies the code and the path; the copy builds its own text. Throws
    // std::bad_alloc when out of memory.
    FileIOError(const FileIOError& other);
    FileIOError& operator=(const FileIOError& other);
    ~FileIOError() override;

    std::uint32_t Code() const { return details->code; }
    const std::string& Path() const { return details->path; }

    // The message; the pointer stays valid as long as the object lives.
    // Never throws: when the message cannot be built it returns the
    // run-time class name, and tries again on the next call.
    const char* what() const noexcept override;

  private:
    std::unique_ptr<FileIOErrorDetails> details;
};

// The file layer's error classes. Each is built on the path the failure
// concerns and the Windows error code that selected it; both throw
// std::bad_alloc when out of memory.
class FileNotFoundError : public FileIOError {
  public:
    FileNotFoundError(const FilePath& path, std::uint32_t code)
        : FileIOError(path.CStr(), path.CStr() + path.Length(), code) {}
};

class DirectoryNotFoundError : public FileIOError {
  public:
    DirectoryNotFoundError(const FilePath& path, std::uint32_t code)
        : FileIOError(path.CStr(), path.CStr() + path.Length(), code) {}
};

class FilePermissionError : public FileIOError {
  public:
    FilePermissionError(const FilePath& path, std::uint32_t code)
        : FileIOError(path.CStr(), path.CStr() + path.Length(), code) {}
};

class FileLockError : public FileIOError {
  public:
    FileLockError(const FilePath& path, std::uint32_t code)
        : FileIOError(path.CStr(), path.CStr() + path.Length(), code) {}
};

class DiskFullError : public FileIOError {
  public:
    DiskFullError(const FilePath& path, std::uint32_t code)
        : FileIOError(path.CStr(), path.CStr() + path.Length(), code) {}
};

class EndOfFileError : public FileIOError {
  public:
    EndOfFileError(const FilePath& path, std::uint32_t code)
        : FileIOError(path.CStr(), path.CStr() + path.Length(), code) {}
};

class FileSeekError : public FileIOError {
  public:
    FileSeekError(const FilePath& path, std::uint32_t code)
        : FileIOError(path.CStr(), path.CStr() + path.Length(), code) {}
};

// Throws the error that the opening table gives for `code`, built on `path`
// and `code`; returns when `code` is 0. For failures of opening a file,
// taking its size and closing it:
//   2, 6, 18, 107                           FileNotFoundError
//   3, 15, 17, 34, 52, 53, 55, 67, 70, 85,
//   111, 123, 124, 125, 144, 154, 161, 206,
//   208, 267                                DirectoryNotFoundError
//   5, 12, 19, 29, 54, 58, 64, 65, 71, 80,
//   82, 86, 170, 183, 999                   FilePermissionError
//   33, 108, 167                            FileLockError
//   39, 112                                 DiskFullError
//   any other code (32 among them)          FileIOError
void ThrowFileError(const FilePath& path, std::uint32_t code);

// The same with the reading table, for failures of reading a file:
//   5, 12, 19, 29, 32, 54, 58, 64, 65, 71,
//   80, 82, 86, 170, 183, 999               FilePermissionError
//   24, 25, 27, 30, 131, 132                FileSeekError
//   33, 108, 167                            FileLockError
//   38                                      EndOfFileError
//   any other code                          FileIOError
void ThrowFileReadError(const FilePath& path, std::uint32_t code);
