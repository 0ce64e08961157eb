#include "files/file_reading_loop.hpp"

#include <algorithm>
#include <array>

#include "errors/exceptions.hpp"
#include "files/file_errors.hpp"
#include "platform/win32_api.hpp"

FileReadingLoop::FileReadingLoop(Byte* bufferBegin, Byte* bufferEnd,
                                 WindowsPlatform::FileReadingPath& file, std::uint64_t start)
    : bufferBegin(bufferBegin), bufferEnd(bufferEnd) {
    if (bufferBegin == bufferEnd) {
        throw DataOverflow();
    }
    reader.Attach(file, start);
    // A start past the end wraps to a count that no file can satisfy;
    // Fill finds the reader at its end and says so.
    remaining = reader.Size() - start;
    if (remaining != 0) {
        Fill();
    }
}

void FileReadingLoop::Advance() {
    remaining -= static_cast<std::uint64_t>(chunkEnd - chunkBegin);
    chunkBegin = chunkEnd = nullptr;
    if (remaining != 0) {
        Fill();
    }
}

void FileReadingLoop::Fill() {
    if (reader.AtEnd()) {
        throw FileReadingLoopEndOfFileError();
    }
    const std::uint64_t count = std::min<std::uint64_t>(
        {remaining, 0xFFFFFFFFu, static_cast<std::uint64_t>(bufferEnd - bufferBegin)});
    MutableData room(bufferBegin, bufferBegin + count);
    reader.ReadSome(room);
    if (room.cursor == room.start) {
        // Bytes remain by the size taken at the start, yet the file gives
        // none: it was cut short. Reading again would give none again.
        throw EndOfFileError(reader.File().Path(), ERROR_HANDLE_EOF);
    }
    chunkBegin = room.start;
    chunkEnd = room.cursor;
}

void ReadFileInto(const FilePath& path, DataReceiver& receiver, std::uint64_t start) {
    WindowsPlatform::FileReadingPath file(path);
    receiver.Start();
    {
        std::array<Byte, kFileChunkSize> buffer;
        FileReadingLoop loop(buffer.data(), buffer.data() + buffer.size(), file, start);
        receiver.Expect(loop.Remaining());
        while (loop.Remaining() != 0) {
            receiver.Receive(loop.Chunk());
            loop.Advance();
        }
    }
    receiver.Finish();
}
