#include "data/data_reader.hpp"
#include "tests/support/case_name.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "errors/exceptions.hpp"

namespace {

using TestCaseNames::PrintTo;

constexpr Byte kUntouched = 0xEE;

// A source of the bytes 1, 2, ... size that gives at most `perCall` bytes to
// each ReadSome and records the room it was offered each time.
class ChunkedReader : public DataReader {
  public:
    ChunkedReader(std::size_t size, std::size_t perCall) : size(size), perCall(perCall) {}

    bool AtEnd() const override { return position >= size; }

    DataReader& ReadSome(MutableData& data) override {
        offeredRoom.push_back(data.Room());
        const std::size_t count = std::min({perCall, data.Room(), size - position});
        for (std::size_t i = 0; i < count; ++i) {
            data.Put(static_cast<Byte>(++position));
        }
        return *this;
    }

    std::size_t size;
    std::size_t perCall;
    std::size_t position = 0;
    std::vector<std::size_t> offeredRoom;
};

// Bytes 1 .. count followed by kUntouched up to `total` bytes.
std::vector<Byte> FilledThenUntouched(std::size_t count, std::size_t total) {
    std::vector<Byte> bytes(total, kUntouched);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<Byte>(i + 1);
    }
    return bytes;
}

struct ReadCase {
    const char* name;
    std::size_t sourceSize;
    std::size_t alreadyRead;
    std::size_t requested;
    bool throwsNoMoreData;
    std::size_t filled;
    std::vector<std::size_t> offeredRoom;
};

class DataReaderReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(DataReaderReadTest, FillsTheRangeThroughReadSomeOrThrows) {
    const ReadCase& c = GetParam();
    ChunkedReader reader(c.sourceSize, 3);
    reader.position = c.alreadyRead;
    std::vector<Byte> buffer(c.requested + 1, kUntouched);
    Byte* first = buffer.data();

    if (c.throwsNoMoreData) {
        EXPECT_THROW(reader.Read(first, first + c.requested), NoMoreData);
    } else {
        EXPECT_EQ(&reader.Read(first, first + c.requested), &reader);
    }

    std::vector<Byte> expected = FilledThenUntouched(c.filled, c.requested + 1);
    for (std::size_t i = 0; i < c.filled; ++i) {
        expected[i] = static_cast<Byte>(c.alreadyRead + i + 1);
    }
    EXPECT_EQ(buffer, expected);
    EXPECT_EQ(reader.offeredRoom, c.offeredRoom);
    EXPECT_EQ(reader.position, c.alreadyRead + c.filled);
}

INSTANTIATE_TEST_SUITE_P(
    ThreeBytesPerCall, DataReaderReadTest,
    testing::Values(ReadCase{"ShortOfTheEnd", 10, 0, 8, false, 8, {8, 5, 2}},
                    ReadCase{"ExactlyToTheEnd", 10, 0, 10, false, 10, {10, 7, 4, 1}},
                    ReadCase{"PastTheEnd", 10, 0, 12, true, 10, {12, 9, 6, 3}},
                    ReadCase{"EmptyRange", 10, 0, 0, false, 0, {}},
                    ReadCase{"EmptyRangeAtTheEnd", 10, 10, 0, false, 0, {}},
                    ReadCase{"OneByteAtTheEnd", 10, 10, 1, true, 0, {}},
                    ReadCase{"RestAfterEarlierReads", 10, 7, 3, false, 3, {3}},
                    ReadCase{"MoreThanTheRest", 10, 7, 4, true, 3, {4}}),
    TestCaseNames::CaseName<ReadCase>);

struct ReadNeverEnds {};

// A source that claims to have more but gives `giveFirst` bytes and then
// nothing, as a stalled pipe would. A Read that keeps calling it fails the
// test instead of hanging it.
class StallingReader : public DataReader {
  public:
    explicit StallingReader(std::size_t giveFirst) : giveFirst(giveFirst) {}

    bool AtEnd() const override { return false; }

    DataReader& ReadSome(MutableData& data) override {
        if (++calls > 100) {
            throw ReadNeverEnds();
        }
        while (giveFirst > 0 && data.Room() > 0) {
            data.Put(0x5A);
            --giveFirst;
        }
        return *this;
    }

    std::size_t giveFirst;
    int calls = 0;
};

TEST(DataReaderTest, ReadSomeThatTransfersNothingEndsTheReadWithNoMoreData) {
    StallingReader reader(0);
    std::vector<Byte> buffer(4, kUntouched);
    EXPECT_THROW(reader.Read(buffer.data(), buffer.data() + buffer.size()), NoMoreData);
    EXPECT_EQ(reader.calls, 1);
    EXPECT_EQ(buffer, std::vector<Byte>(4, kUntouched));
}

TEST(DataReaderTest, StallAfterProgressKeepsTheBytesTransferred) {
    StallingReader reader(2);
    std::vector<Byte> buffer(4, kUntouched);
    EXPECT_THROW(reader.Read(buffer.data(), buffer.data() + buffer.size()), NoMoreData);
    EXPECT_EQ(reader.calls, 2);
    EXPECT_EQ(buffer, (std::vector<Byte>{0x5A, 0x5A, kUntouched, kUntouched}));
}

TEST(DataReaderTest, EmptyRangeOnAStalledReaderReturns) {
    StallingReader reader(0);
    Byte byte = kUntouched;
    EXPECT_EQ(&reader.Read(&byte, &byte), &reader);
    EXPECT_EQ(reader.calls, 0);
}

struct ReadFailure {};

// Gives three bytes, then fails.
class FailingReader : public ChunkedReader {
  public:
    FailingReader() : ChunkedReader(10, 3) {}

    DataReader& ReadSome(MutableData& data) override {
        if (position > 0) {
            throw ReadFailure();
        }
        return ChunkedReader::ReadSome(data);
    }
};

TEST(DataReaderTest, FailureOfReadSomePassesOutWithTheBytesTransferred) {
    FailingReader reader;
    std::vector<Byte> buffer(5, kUntouched);
    EXPECT_THROW(reader.Read(buffer.data(), buffer.data() + buffer.size()), ReadFailure);
    EXPECT_EQ(buffer, FilledThenUntouched(3, 5));
}

TEST(EmptyDataReaderTest, IsAlwaysAtItsEnd) {
    EmptyDataReader reader;
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_FALSE(reader.HasMore());
}

TEST(EmptyDataReaderTest, ReadsAnEmptyRangeAndNothingMore) {
    EmptyDataReader reader;
    Byte byte = kUntouched;
    EXPECT_EQ(&reader.Read(&byte, &byte), &reader);
    EXPECT_EQ(&reader.Read(nullptr, nullptr), &reader);
    EXPECT_THROW(reader.Read(&byte, &byte + 1), NoMoreData);
    EXPECT_EQ(byte, kUntouched);
}

TEST(EmptyDataReaderTest, ReadSomeLeavesTheDataWhereItWas) {
    std::vector<Byte> buffer(4, kUntouched);
    MutableData data(buffer.data(), buffer.data() + buffer.size());
    data.cursor += 1;
    const MutableData before = data;

    EmptyDataReader reader;
    EXPECT_EQ(&reader.ReadSome(data), &reader);
    EXPECT_EQ(data.cursor, before.cursor);
    EXPECT_EQ(data.end, before.end);
    EXPECT_EQ(data.start, before.start);
    EXPECT_EQ(buffer, std::vector<Byte>(4, kUntouched));
}

TEST(EmptyDataReaderTest, SharedInstanceIsOneObject) {
    EmptyDataReader& shared = SharedEmptyDataReader();
    EXPECT_EQ(&shared, &SharedEmptyDataReader());
    EXPECT_TRUE(shared.AtEnd());
}

}  // namespace
