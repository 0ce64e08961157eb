#include "data/bytes.hpp"

#include <gtest/gtest.h>

#include <array>

#include "errors/exceptions.hpp"

namespace {

TEST(MutableDataTest, PutFillsTheRoomInOrder) {
    std::array<Byte, 2> bytes{};
    MutableData data(bytes.data(), bytes.data() + bytes.size());
    data.Put(0x41);
    data.Put(0x42);
    EXPECT_EQ(bytes, (std::array<Byte, 2>{0x41, 0x42}));
    EXPECT_EQ(data.Filled(), 2u);
    EXPECT_EQ(data.Room(), 0u);
    EXPECT_EQ(data.start, bytes.data());
}

TEST(MutableDataTest, PutWithoutRoomThrowsAndMovesNothing) {
    std::array<Byte, 3> bytes{0x01, 0x02, 0x03};
    MutableData data(bytes.data(), bytes.data() + 2);
    data.Put(0x11);
    data.Put(0x12);
    EXPECT_THROW(data.Put(0x13), DataOverflow);
    EXPECT_EQ(data.cursor, bytes.data() + 2);
    EXPECT_EQ(data.end, bytes.data() + 2);
    EXPECT_EQ(data.start, bytes.data());
    // The byte past the end is not the data's to write.
    EXPECT_EQ(bytes, (std::array<Byte, 3>{0x11, 0x12, 0x03}));
}

TEST(MutableDataTest, PutIntoAnEmptyNullRangeThrows) {
    MutableData data;
    EXPECT_THROW(data.Put(0x00), DataOverflow);
    EXPECT_EQ(data.cursor, nullptr);
}

}  // namespace
