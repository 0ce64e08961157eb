// A source of bytes over an open file, reading at a position of its own.
#pragma once

#include <cstdint>

#include "data/bytes.hpp"
#include "data/data_reader.hpp"
#include "files/file_reading_path.hpp"

// Reads a FileReadingPath's file from its own 64-bit position: every read
// first moves the platform's file pointer there, so nothing else that moves
// the pointer can disturb it. The size is taken once, by Attach, and the
// reader is at its end when its position reaches that size.
//
// Every read can throw FileSeekError with code 0 when the file pointer
// cannot be moved, and, when the platform fails the read, the error that
// ThrowFileReadError gives for the platform's code. The position has not
// moved after such a throw.
class FileReader : public DataReader {
  public:
    // Unattached: at its end, reading nothing.
    FileReader() = default;

    // Reads `file` (not owned; it must outlive the reading) from `start`.
    // Throws what the file's GetSize throws; the reader is unchanged then.
    void Attach(WindowsPlatform::FileReadingPath& file, std::uint64_t start);

    // True when the position is at or past the size taken by Attach.
    bool AtEnd() const override;

    // Fills [first, end) with the bytes at the position and moves the
    // position past them. An empty range reads nothing. Throws NoMoreData
    // when the file ends first; the position has moved past the bytes read
    // and they stay at the front of the range.
    DataReader& Read(Byte* first, Byte* end) override;

    // One read of up to data.Room() bytes at the position; data.cursor and
    // the position move forward by the count read. At the end, or with no
    // room, nothing is read and nothing changes.
    DataReader& ReadSome(MutableData& data) override;

    std::uint64_t Position() const { return position; }
    std::uint64_t Size() const { return size; }

    // The file attached; only for an attached reader.
    const WindowsPlatform::FileReadingPath& File() const { return *file; }

  private:
    // One positioned read of up to `count` bytes into `first`; returns the
    // count read (0 at the end of the file).
    std::uint32_t ReadAtPosition(Byte* first, std::uint32_t count);

    WindowsPlatform::FileReadingPath* file = nullptr;
    std::uint64_t position = 0;
    std::uint64_t size = 0;
};
