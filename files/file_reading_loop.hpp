// Walking a file from a position to its end in chunks, and handing a whole
// file to a receiver.
#pragma once

#include <cstdint>

#include "data/bytes.hpp"
#include "data/data_writer.hpp"
#include "files/file_path.hpp"
#include "files/file_reader.hpp"
#include "files/file_reading_path.hpp"

// The size of the chunks in which ReadFileInto hands a file on. Every chunk
// costs a SetFilePointer and a ReadFile; at 64 KiB those calls are a small
// part of a large file's reading time, and the buffer still fits on the
// stack.
inline constexpr std::uint32_t kFileChunkSize = 64 * 1024;

// Walks a file from a start position to the end it had when the walk
// started, one chunk at a time, through a buffer that the caller owns and
// that must outlive the loop. Each chunk fills as much of the buffer as the
// file gives in one read.
//
// The walk takes the file's size as fixed. A file that grows meanwhile is
// read only up to its old end. A file cut short meanwhile ends the walk with
// EndOfFileError, code 38 (ERROR_HANDLE_EOF), naming the file: the read that
// should have given the next chunk gave nothing.
class FileReadingLoop {
  public:
    // Takes the file's size and reads the first chunk, if any byte lies
    // between `start` and the end. Throws what FileReader::Attach and
    // reading throw; FileReadingLoopEndOfFileError when `start` lies past
    // the end of the file; EndOfFileError (code 38) when the file gives no
    // byte although some remain; DataOverflow when the buffer is empty.
    FileReadingLoop(Byte* bufferBegin, Byte* bufferEnd, WindowsPlatform::FileReadingPath& file,
                    std::uint64_t start);

    FileReadingLoop(const FileReadingLoop&) = delete;
    FileReadingLoop& operator=(const FileReadingLoop&) = delete;

    // The bytes from the start of the current chunk to the end of the file;
    // zero when the walk is over.
    std::uint64_t Remaining() const { return remaining; }

    // The current chunk, inside the caller's buffer; valid until the next
    // Advance. Empty when the walk is over.
    ConstData Chunk() const { return {chunkBegin, chunkEnd}; }

    // Gives up the current chunk and reads the next one, if bytes remain.
    // Throws as the constructor does; the loop must not be used after a
    // throw.
    void Advance();

  private:
    void Fill();

    Byte* bufferBegin;
    Byte* bufferEnd;
    FileReader reader;
    Byte* chunkBegin = nullptr;
    Byte* chunkEnd = nullptr;
    std::uint64_t remaining = 0;
};

// Hands every byte of the file at `path` from `start` to its end to
// `receiver`: opens the file, calls Start, Expect with the number of bytes
// from `start` to the end, Receive once per chunk of at most kFileChunkSize
// bytes (read through a buffer on this function's stack), then Finish, and
// closes the file. The file is closed on every way out.
//
// Throws what opening throws (before Start), and what taking the size and
// reading throw (after Start): FileReadingLoopEndOfFileError for a `start`
// past the end, EndOfFileError (code 38) for a file cut short while it is
// read. Anything the receiver throws passes out unchanged. After a throw
// the receiver keeps the chunks it was given and gets no Finish.
void ReadFileInto(const FilePath& path, DataReceiver& receiver, std::uint64_t start);
