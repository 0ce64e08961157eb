#include "data/data_writer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "errors/exceptions.hpp"

namespace {

// Byte i of a stream whose bytes are all distinct within any 251 in a row.
Byte PatternByte(std::size_t i) {
    return static_cast<Byte>(i % 251);
}

ByteVector Pattern(std::size_t first, std::size_t count) {
    ByteVector bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = PatternByte(first + i);
    }
    return bytes;
}

// Hands `pieceSizes` consecutive pieces of the pattern, starting at
// `first`, to the receiver through one reused buffer, as a file walk does.
void ReceivePieces(DataReceiver& receiver, std::size_t first,
                   const std::vector<std::size_t>& pieceSizes) {
    ByteVector buffer(4096);
    for (std::size_t size : pieceSizes) {
        const ByteVector piece = Pattern(first, size);
        std::copy(piece.begin(), piece.end(), buffer.begin());
        receiver.Receive(ConstData(buffer.data(), buffer.data() + size));
        first += size;
    }
    // A receiver that kept pointers instead of bytes would now see this.
    std::fill(buffer.begin(), buffer.end(), Byte{0xEE});
}

TEST(VectorAppenderTest, IsUnboundWhenConstructed) {
    VectorAppender appender;
    EXPECT_EQ(appender.target, nullptr);
}

TEST(VectorAppenderTest, StreamOfFilePiecesArrivesWholeAndInOrder) {
    ByteVector vector;
    VectorAppender appender;
    EXPECT_EQ(&appender.AppendTo(vector), &appender);
    appender.Start();
    ReceivePieces(appender, 0, {4096, 4096, 1808});
    appender.Finish();

    EXPECT_EQ(vector, Pattern(0, 10000));
    EXPECT_EQ(appender.target, nullptr);
}

TEST(VectorAppenderTest, SecondStreamAppendsAfterTheFirst) {
    ByteVector vector;
    VectorAppender appender;
    appender.AppendTo(vector).Start();
    ReceivePieces(appender, 0, {100, 28});
    appender.Finish();
    appender.AppendTo(vector).Start();
    ReceivePieces(appender, 128, {4096, 1});
    appender.Finish();

    EXPECT_EQ(vector, Pattern(0, 128 + 4096 + 1));
}

TEST(VectorAppenderTest, StreamWithoutPiecesLeavesTheVectorAsItWas) {
    for (const ByteVector& initial : {ByteVector{}, ByteVector{1, 2, 3}}) {
        ByteVector vector = initial;
        VectorAppender appender;
        appender.AppendTo(vector).Start();
        appender.Finish();
        EXPECT_EQ(vector, initial);
    }
}

TEST(VectorAppenderTest, EmptyPieceChangesNothing) {
    ByteVector vector{7, 8};
    VectorAppender appender;
    appender.AppendTo(vector).Start();
    appender.Receive(ConstData());
    appender.Receive(ConstData(vector.data(), vector.data()));
    EXPECT_EQ(vector, (ByteVector{7, 8}));
}

TEST(VectorAppenderTest, WriteAppendsWithoutStartAndReturnsTheAppender) {
    ByteVector vector{1};
    VectorAppender appender;
    appender.AppendTo(vector);
    const ByteVector piece{2, 3};
    DataWriter& writer = appender;
    EXPECT_EQ(&writer.Write(ConstData::Over(piece)), &appender);
    EXPECT_EQ(&appender.Write(ConstData::Over(piece)), &appender);
    EXPECT_EQ(vector, (ByteVector{1, 2, 3, 2, 3}));
}

TEST(VectorAppenderTest, AppendsAPieceOfItsOwnTarget) {
    ByteVector vector{1, 2, 3, 4};
    vector.shrink_to_fit();
    VectorAppender appender;
    appender.AppendTo(vector).Start();
    // Growing the vector moves the bytes being appended.
    appender.Receive(ConstData(vector.data() + 1, vector.data() + 4));
    appender.Receive(ConstData::Over(vector));
    EXPECT_EQ(vector, (ByteVector{1, 2, 3, 4, 2, 3, 4, 1, 2, 3, 4, 2, 3, 4}));
}

// A stream of known size lands in one block of exactly its size: the bytes
// are copied once, and no growth leaves the vector holding twice the room.
TEST(VectorAppenderTest, ExpectedStreamIsCopiedIntoRoomMadeOnce) {
    ByteVector vector{0xAB};
    VectorAppender appender;
    appender.AppendTo(vector).Start();
    appender.Expect(10000);
    ASSERT_EQ(vector.capacity(), 10001u);
    const Byte* const block = vector.data();
    ReceivePieces(appender, 0, {4096, 4096, 1808});
    appender.Finish();

    EXPECT_EQ(vector.data(), block);
    EXPECT_EQ(vector.capacity(), 10001u);
    ByteVector expected{0xAB};
    const ByteVector pattern = Pattern(0, 10000);
    expected.insert(expected.end(), pattern.begin(), pattern.end());
    EXPECT_EQ(vector, expected);
}

// The expected size is a hint: the stream may bring fewer bytes or more,
// and a size no vector can hold is left for the pieces to fail on.
TEST(VectorAppenderTest, ExpectIsOnlyAHint) {
    struct Case {
        const char* name;
        std::uint64_t expected;
        std::vector<std::size_t> pieces;
    };
    for (const Case& item :
         {Case{"Fewer", 5000, {100}}, Case{"None", 4096, {}}, Case{"More", 10, {4096, 17}},
          Case{"Zero", 0, {3}}, Case{"BeyondAnyVector", ~std::uint64_t{0}, {5}}}) {
        SCOPED_TRACE(item.name);
        ByteVector vector;
        VectorAppender appender;
        appender.AppendTo(vector).Start();
        appender.Expect(item.expected);
        ReceivePieces(appender, 0, item.pieces);
        appender.Finish();
        std::size_t total = 0;
        for (const std::size_t size : item.pieces) {
            total += size;
        }
        EXPECT_EQ(vector, Pattern(0, total));
    }
}

TEST(VectorAppenderTest, UnboundAppenderIgnoresExpect) {
    VectorAppender appender;
    appender.Expect(1000);
    EXPECT_EQ(appender.target, nullptr);
    SharedIgnoreDataReceiver().Expect(1000);
}

TEST(VectorAppenderTest, UnboundAppenderRefusesEveryPiece) {
    ByteVector vector{9};
    VectorAppender appender;
    const ByteVector piece{1, 2};
    EXPECT_THROW(appender.Receive(ConstData::Over(piece)), UnboundVectorAppender);
    EXPECT_THROW(appender.Write(ConstData::Over(piece)), UnboundVectorAppender);

    appender.AppendTo(vector).Start();
    appender.Finish();
    EXPECT_THROW(appender.Receive(ConstData::Over(piece)), UnboundVectorAppender);
    EXPECT_THROW(appender.Receive(ConstData()), UnboundVectorAppender);
    EXPECT_EQ(vector, ByteVector{9});
}

TEST(VectorAppenderTest, UnboundFailureIsAFamilyMemberNamedByItsClass) {
    try {
        VectorAppender().Receive(ConstData());
        FAIL() << "no exception";
    } catch (const DebuggableException& caught) {
        EXPECT_STREQ(caught.what(), "class UnboundVectorAppender");
    }
}

TEST(IgnoreDataReceiverTest, TakesAnySequenceOfCalls) {
    IgnoreDataReceiver receiver;
    const ByteVector piece{1, 2, 3};
    receiver.Receive(ConstData::Over(piece));
    receiver.Finish();
    receiver.Start();
    receiver.Start();
    ReceivePieces(receiver, 0, {4096, 0, 17});
    EXPECT_EQ(&receiver.Write(ConstData::Over(piece)), &receiver);
    receiver.Finish();
    EXPECT_EQ(piece, (ByteVector{1, 2, 3}));
}

TEST(IgnoreDataReceiverTest, SharedInstanceIsOneObject) {
    IgnoreDataReceiver& shared = SharedIgnoreDataReceiver();
    EXPECT_EQ(&shared, &SharedIgnoreDataReceiver());
    shared.Start();
    shared.Finish();
}

}  // namespace
