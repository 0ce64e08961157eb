#include "files/file_reading_loop.hpp"
#include "tests/support/case_name.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "errors/exceptions.hpp"
#include "files/file_errors.hpp"
#include "tests/files/file_test_fixture.hpp"

namespace {

using WindowsPlatform::FileReadingPath;

// Records the calls it gets, and keeps the bytes. `onReceive`, when set,
// runs after each piece is kept and may throw or change the file.
class RecordingReceiver : public DataReceiver {
  public:
    void Start() override { calls.push_back("Start"); }

    void Expect(std::uint64_t size) override { calls.push_back("Expect " + std::to_string(size)); }

    void Receive(ConstData data) override {
        calls.push_back("Receive " + std::to_string(data.Size()));
        bytes.insert(bytes.end(), data.begin, data.end);
        if (onReceive) {
            onReceive();
        }
    }

    void Finish() override {
        calls.push_back("Finish");
        if (throwFromFinish) {
            throw BadDNSRecord();
        }
    }

    std::vector<std::string> calls;
    std::vector<Byte> bytes;
    std::function<void()> onReceive;
    bool throwFromFinish = false;
};

// The chunk size, as a shorter name for the tables below.
constexpr std::uint64_t K = kFileChunkSize;

// The calls of a walk that expected `expected` bytes and was handed chunks
// of `chunkSizes`.
std::vector<std::string> Calls(std::uint64_t expected, const std::vector<std::uint64_t>& chunkSizes,
                               bool finished) {
    std::vector<std::string> calls = {"Start", "Expect " + std::to_string(expected)};
    for (const std::uint64_t size : chunkSizes) {
        calls.push_back("Receive " + std::to_string(size));
    }
    if (finished) {
        calls.push_back("Finish");
    }
    return calls;
}

class ReadFileIntoTest : public FileLayerTest {
  protected:
    // Writes a file of `size` pattern bytes and returns its path.
    std::string MakeFile(std::size_t size) {
        const std::string path = folder.PathOf("Relays.dat");
        fileBytes = PlatformTest::PatternBytes(size);
        PlatformTest::WriteFile(path, fileBytes);
        return path;
    }

    std::vector<Byte> fileBytes;
    RecordingReceiver receiver;
};

struct WalkCase {
    const char* name;
    std::size_t fileSize;
    std::uint64_t start;
    std::vector<std::uint64_t> chunkSizes;
};

void PrintTo(const WalkCase& item, std::ostream* out) {
    *out << item.name;
}

class ReadFileIntoWalkTest : public ReadFileIntoTest,
                             public testing::WithParamInterface<WalkCase> {};

TEST_P(ReadFileIntoWalkTest, HandsOnTheFileFromStartInChunksOfTheBuffer) {
    const WalkCase& item = GetParam();
    const std::string path = MakeFile(item.fileSize);

    ReadFileInto(FilePath(path.c_str()), receiver, item.start);

    EXPECT_EQ(receiver.calls, Calls(item.fileSize - item.start, item.chunkSizes, true));
    EXPECT_EQ(receiver.bytes, std::vector<Byte>(fileBytes.begin() + item.start, fileBytes.end()));
    EXPECT_FALSE(PlatformTest::IsFileOpen(path));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ReadFileIntoWalkTest,
    testing::Values(WalkCase{"EmptyFile", 0, 0, {}}, WalkCase{"OneByte", 1, 0, {1}},
                    WalkCase{"OneByteShortOfABuffer", K - 1, 0, {K - 1}},
                    WalkCase{"OneBuffer", K, 0, {K}},
                    WalkCase{"OneByteMoreThanABuffer", K + 1, 0, {K, 1}},
                    WalkCase{"TwoAndAHalfBuffers", 5 * K / 2, 0, {K, K, K / 2}},
                    WalkCase{"StartInside", 2 * K + 100, K / 2 + 50, {K, K / 2 + 50}},
                    WalkCase{"StartAtTheEnd", K + 1, K + 1, {}}),
    TestCaseNames::CaseName<WalkCase>);

TEST_F(ReadFileIntoTest, AMissingFileFailsBeforeStart) {
    EXPECT_THROW(ReadFileInto(FilePath(folder.PathOf("missing").c_str()), receiver, 0),
                 FileNotFoundError);
    EXPECT_TRUE(receiver.calls.empty());
}

TEST_F(ReadFileIntoTest, AStartPastTheEndFailsAfterStartAndClosesTheFile) {
    const std::string path = MakeFile(10);
    EXPECT_THROW(ReadFileInto(FilePath(path.c_str()), receiver, 11), FileReadingLoopEndOfFileError);
    EXPECT_EQ(receiver.calls, std::vector<std::string>{"Start"});
    EXPECT_FALSE(PlatformTest::IsFileOpen(path));
}

TEST_F(ReadFileIntoTest, AFailingReceiverStopsTheWalkAndTheFileIsClosed) {
    const std::string path = MakeFile(2 * K + 10);
    receiver.onReceive = [] { throw NoMoreData(); };
    EXPECT_THROW(ReadFileInto(FilePath(path.c_str()), receiver, 0), NoMoreData);
    EXPECT_EQ(receiver.calls, Calls(2 * K + 10, {K}, false));
    EXPECT_FALSE(PlatformTest::IsFileOpen(path));
}

TEST_F(ReadFileIntoTest, AFailingFinishStillClosesTheFile) {
    const std::string path = MakeFile(5);
    receiver.throwFromFinish = true;
    EXPECT_THROW(ReadFileInto(FilePath(path.c_str()), receiver, 0), BadDNSRecord);
    EXPECT_EQ(receiver.calls, Calls(5, {5}, true));
    EXPECT_FALSE(PlatformTest::IsFileOpen(path));
}

TEST_F(ReadFileIntoTest, FillsAVectorThroughAnAppender) {
    const std::string path = MakeFile(2 * K + 9000);
    ByteVector content = {0xAB};
    VectorAppender appender;
    ReadFileInto(FilePath(path.c_str()), appender.AppendTo(content), 0);
    ASSERT_EQ(content.size(), 2 * K + 9001);
    // The appender was told the size, so the file went into room of
    // exactly its size.
    EXPECT_EQ(content.capacity(), content.size());
    EXPECT_EQ(ByteVector(content.begin() + 1, content.end()), fileBytes);
    EXPECT_EQ(appender.target, nullptr);
}

// The walk takes the size as fixed when it starts. Where share modes keep
// writers out nobody can change the length meanwhile; elsewhere a file cut
// short must end the walk with an error naming it, not a walk without end,
// and a file that grows is read to its old end.
struct ChangeCase {
    const char* name;
    std::uint64_t newSize;  // set during the first Receive
    std::vector<std::uint64_t> chunkSizes;
    bool cutShort;
};

void PrintTo(const ChangeCase& item, std::ostream* out) {
    *out << item.name;
}

class ReadFileIntoChangingFileTest : public ReadFileIntoTest,
                                     public testing::WithParamInterface<ChangeCase> {};

TEST_P(ReadFileIntoChangingFileTest, EndsTheWalkAtTheSizeItStartedWith) {
    if (!PlatformTest::OpenFilesAdmitWriters()) {
        GTEST_SKIP() << "the share mode keeps writers out while the file is read";
    }
    const ChangeCase& item = GetParam();
    const std::string path = MakeFile(3 * K);
    bool changed = false;
    receiver.onReceive = [&] {
        if (!changed) {
            changed = true;
            std::filesystem::resize_file(path, item.newSize);
        }
    };

    try {
        ReadFileInto(FilePath(path.c_str()), receiver, 0);
        EXPECT_FALSE(item.cutShort) << "no error for a file cut short";
    } catch (const EndOfFileError& caught) {
        EXPECT_TRUE(item.cutShort);
        EXPECT_EQ(caught.Code(), 38u);
        EXPECT_EQ(caught.Path(), path);
    }
    EXPECT_EQ(receiver.calls, Calls(3 * K, item.chunkSizes, !item.cutShort));
    std::size_t received = 0;
    for (const std::uint64_t size : item.chunkSizes) {
        received += size;
    }
    EXPECT_EQ(receiver.bytes, std::vector<Byte>(fileBytes.begin(), fileBytes.begin() + received));
    EXPECT_FALSE(PlatformTest::IsFileOpen(path));
}

INSTANTIATE_TEST_SUITE_P(Changes, ReadFileIntoChangingFileTest,
                         testing::Values(ChangeCase{"CutAtAChunkBoundary", K, {K}, true},
                                         ChangeCase{
                                             "CutInsideTheNextChunk", K + 904, {K, 904}, true},
                                         ChangeCase{"CutToNothing", 0, {K}, true},
                                         ChangeCase{"Grown", 5 * K, {K, K, K}, false}),
                         TestCaseNames::CaseName<ChangeCase>);

TEST_F(ReadFileIntoTest, AnOpenFileAdmitsNoWriterWhereShareModesHold) {
    if (PlatformTest::OpenFilesAdmitWriters()) {
        GTEST_SKIP() << "this platform does not enforce share modes";
    }
    const std::string path = MakeFile(3 * K);
    bool refused = false;
    receiver.onReceive = [&] {
        std::error_code error;
        std::filesystem::resize_file(path, 0, error);
        refused = refused || static_cast<bool>(error);
    };
    ReadFileInto(FilePath(path.c_str()), receiver, 0);
    EXPECT_TRUE(refused);
    EXPECT_EQ(receiver.bytes, fileBytes);
}

// Positions and counts are 64-bit: a walk that starts just below 4 GiB in
// a sparse file crosses the boundary, and its first read is at a position
// whose low half is all ones.
TEST_F(ReadFileIntoTest, WalksAcrossTheFourGibibyteBoundary) {
    const std::string path = folder.PathOf("large.bin");
    const std::uint64_t start = 0xFFFFFFFFull;
    const std::uint64_t size = 0x100000000ull + K + 1904;
    const std::vector<Byte> tail = PlatformTest::PatternBytes(size - start, start);
    PlatformTest::WriteSparseFile(path, size, start, tail);

    ReadFileInto(FilePath(path.c_str()), receiver, start);

    EXPECT_EQ(receiver.calls, Calls(K + 1905, {K, 1905}, true));
    EXPECT_EQ(receiver.bytes, tail);
}

TEST_F(ReadFileIntoTest, ALoopNeedsRoomForAChunk) {
    const std::string path = MakeFile(10);
    FileReadingPath file{FilePath(path.c_str())};
    Byte buffer[1];
    EXPECT_THROW(FileReadingLoop(buffer, buffer, file, 0), DataOverflow);
}

TEST_F(ReadFileIntoTest, ALoopWalksThroughASmallBuffer) {
    const std::string path = MakeFile(10);
    FileReadingPath file{FilePath(path.c_str())};
    Byte buffer[4];
    FileReadingLoop loop(buffer, buffer + 4, file, 1);
    std::vector<std::uint64_t> remaining;
    std::vector<Byte> walked;
    while (loop.Remaining() != 0) {
        remaining.push_back(loop.Remaining());
        walked.insert(walked.end(), loop.Chunk().begin, loop.Chunk().end);
        loop.Advance();
    }
    EXPECT_EQ(remaining, (std::vector<std::uint64_t>{9, 5, 1}));
    EXPECT_EQ(walked, std::vector<Byte>(fileBytes.begin() + 1, fileBytes.end()));
    EXPECT_TRUE(loop.Chunk().Empty());
}

}  // namespace
