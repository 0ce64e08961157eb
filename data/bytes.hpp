// Byte ranges shared by every subsystem: a read-only range over bytes that
// someone else owns, and a writable range being filled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using Byte = std::uint8_t;

// A growable array of bytes that owns its storage.
using ByteVector = std::vector<Byte>;

// A read-only range [begin, end) over bytes owned elsewhere. An empty range
// may hold two null pointers. Decoders take a ConstData by value positioned
// at the item to read and return the ConstData that follows the item, with
// the same end.
struct ConstData {
    const Byte* begin = nullptr;
    const Byte* end = nullptr;

    constexpr ConstData() = default;
    constexpr ConstData(const Byte* first, const Byte* last) : begin(first), end(last) {}

    // The range over a whole vector; null pointers when the vector is empty.
    static ConstData Over(const ByteVector& bytes) {
        if (bytes.empty()) {
            return {};
        }
        return {bytes.data(), bytes.data() + bytes.size()};
    }

    constexpr std::size_t Size() const { return static_cast<std::size_t>(end - begin); }
    constexpr bool Empty() const { return begin == end; }
};

// A writable range being filled: `cursor` is the next byte to fill, `end` is
// one past the last writable byte and `start` is where filling began. The
// filled part is [start, cursor), the room is [cursor, end).
struct MutableData {
    Byte* cursor = nullptr;
    Byte* end = nullptr;
    Byte* start = nullptr;

    constexpr MutableData() = default;
    // Over the writable range [first, last), with nothing filled yet.
    constexpr MutableData(Byte* first, Byte* last) : cursor(first), end(last), start(first) {}

    constexpr std::size_t Room() const { return static_cast<std::size_t>(end - cursor); }
    constexpr std::size_t Filled() const { return static_cast<std::size_t>(cursor - start); }
    constexpr ConstData FilledData() const { return {start, cursor}; }

    // Puts one byte at the cursor and advances it. Throws DataOverflow, and
    // changes nothing, when there is no room.
    void Put(Byte value);
};
