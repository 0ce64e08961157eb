#include "files/file_reader.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "errors/exceptions.hpp"
#include "files/file_errors.hpp"
#include "platform/win32_api.hpp"
#include "tests/files/file_test_fixture.hpp"

namespace {

using WindowsPlatform::FileReadingPath;

constexpr Byte kUntouched = 0xEE;

class FileReaderTest : public FileLayerTest {
  protected:
    void SetUp() override {
        FileLayerTest::SetUp();
        path = folder.PathOf("ten.bin");
        PlatformTest::WriteFile(path, bytes);
    }

    std::string path;
    const std::vector<Byte> bytes = PlatformTest::PatternBytes(10);
};

TEST_F(FileReaderTest, AnEmptyRangeReadsNothing) {
    FileReadingPath file{FilePath(path.c_str())};
    FileReader reader;
    reader.Attach(file, 10);
    Byte none[1] = {kUntouched};
    EXPECT_NO_THROW(reader.Read(none, none));
    EXPECT_EQ(reader.Position(), 10u);
    EXPECT_EQ(none[0], kUntouched);
}

TEST_F(FileReaderTest, ReadingPastTheEndThrowsNoMoreDataAfterTheBytesThatWereThere) {
    FileReadingPath file{FilePath(path.c_str())};
    FileReader reader;
    reader.Attach(file, 6);
    std::vector<Byte> range(8, kUntouched);

    EXPECT_THROW(reader.Read(range.data(), range.data() + range.size()), NoMoreData);
    EXPECT_EQ(reader.Position(), 10u);
    EXPECT_EQ(std::vector<Byte>(range.begin(), range.begin() + 4),
              std::vector<Byte>(bytes.begin() + 6, bytes.end()));
    EXPECT_EQ(range[4], kUntouched);
    EXPECT_TRUE(reader.AtEnd());
}

TEST_F(FileReaderTest, ReadSomeAtTheEndChangesNothing) {
    FileReadingPath file{FilePath(path.c_str())};
    FileReader reader;
    reader.Attach(file, 10);
    std::vector<Byte> room(4, kUntouched);
    MutableData data(room.data(), room.data() + room.size());

    reader.ReadSome(data);
    EXPECT_EQ(data.cursor, room.data());
    EXPECT_EQ(data.start, room.data());
    EXPECT_EQ(data.end, room.data() + room.size());
    EXPECT_EQ(room, std::vector<Byte>(4, kUntouched));
    EXPECT_EQ(reader.Position(), 10u);
}

// Every read goes to the reader's own position, whatever moved the
// platform's file pointer in between.
TEST_F(FileReaderTest, ReadersOfOneFileKeepTheirOwnPositions) {
    FileReadingPath file{FilePath(path.c_str())};
    FileReader front;
    FileReader back;
    front.Attach(file, 0);
    back.Attach(file, 5);
    Byte frontBytes[4];
    Byte backBytes[4];

    front.Read(frontBytes, frontBytes + 2);
    back.Read(backBytes, backBytes + 2);
    front.Read(frontBytes + 2, frontBytes + 4);
    back.Read(backBytes + 2, backBytes + 4);

    EXPECT_EQ(std::vector<Byte>(frontBytes, frontBytes + 4),
              std::vector<Byte>(bytes.begin(), bytes.begin() + 4));
    EXPECT_EQ(std::vector<Byte>(backBytes, backBytes + 4),
              std::vector<Byte>(bytes.begin() + 5, bytes.begin() + 9));
}

TEST_F(FileReaderTest, ReadSomeMovesCursorAndPositionByTheCountRead) {
    FileReadingPath file{FilePath(path.c_str())};
    FileReader reader;
    reader.Attach(file, 7);
    std::vector<Byte> room(8, kUntouched);
    MutableData data(room.data(), room.data() + room.size());

    reader.ReadSome(data);
    EXPECT_EQ(data.Filled(), 3u);
    EXPECT_EQ(reader.Position(), 10u);
    EXPECT_EQ(std::vector<Byte>(room.begin(), room.begin() + 3),
              std::vector<Byte>(bytes.begin() + 7, bytes.end()));
}

// A failure to move the file pointer carries no Windows code, so its
// message ends with the path.
TEST_F(FileReaderTest, AFailedSeekThrowsFileSeekErrorWithoutACode) {
    FileReadingPath file{FilePath(path.c_str())};
    FileReader reader;
    reader.Attach(file, 0);
    ASSERT_TRUE(CloseHandle(file.Handle()));
    Byte room[4];
    MutableData data(room, room + 4);

    try {
        reader.ReadSome(data);
        FAIL() << "nothing thrown";
    } catch (const FileSeekError& caught) {
        EXPECT_EQ(caught.Code(), 0u);
        EXPECT_EQ(std::string(caught.what()),
                  "File error \"class FileSeekError\" on \"" + path + "\"");
    }
    EXPECT_EQ(reader.Position(), 0u);
    EXPECT_EQ(data.cursor, room);
}

TEST(UnattachedFileReaderTest, IsAtItsEndAndReadsNothing) {
    FileReader reader;
    Byte room[2] = {kUntouched, kUntouched};
    MutableData data(room, room + 2);
    EXPECT_TRUE(reader.AtEnd());
    reader.ReadSome(data);
    EXPECT_EQ(data.cursor, room);
    EXPECT_NO_THROW(reader.Read(room, room));
    EXPECT_THROW(reader.Read(room, room + 2), NoMoreData);
}

}  // namespace
