#include "files/file_path.hpp"
#include "tests/support/case_name.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

// Whether the path's text lies inside the object itself.
bool IsInline(const FilePath& path) {
    const auto* object = reinterpret_cast<const char*>(&path);
    return path.CStr() >= object && path.CStr() < object + sizeof(FilePath);
}

struct TrimCase {
    const char* name;
    const char* text;
    const char* expected;
};

void PrintTo(const TrimCase& item, std::ostream* out) {
    *out << item.name;
}

class FilePathTrimTest : public testing::TestWithParam<TrimCase> {};

TEST_P(FilePathTrimTest, DropsEveryTrailingSeparator) {
    const FilePath path(GetParam().text);
    EXPECT_STREQ(path.CStr(), GetParam().expected);
    EXPECT_EQ(path.Length(), std::string(GetParam().expected).size());
    EXPECT_EQ(path.ToString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FilePathTrimTest,
    testing::Values(TrimCase{"Plain", "C:\\data\\Relays.dat", "C:\\data\\Relays.dat"},
                    TrimCase{"TwoBackslashes", "C:\\data\\Relays.dat\\\\", "C:\\data\\Relays.dat"},
                    TrimCase{"MixedSeparators", "/tmp/data/\\/", "/tmp/data"},
                    TrimCase{"SeparatorsInsideStay", "a\\/b", "a\\/b"},
                    TrimCase{"SeparatorsOnly", "\\/\\", ""}, TrimCase{"Empty", "", ""},
                    TrimCase{"Null", nullptr, ""}),
    TestCaseNames::CaseName<TrimCase>);

TEST(FilePathTest, AnEmptyPathIsAnEmptyTextInsideTheObject) {
    const FilePath path;
    ASSERT_NE(path.CStr(), nullptr);
    EXPECT_STREQ(path.CStr(), "");
    EXPECT_EQ(path.Length(), 0u);
    EXPECT_TRUE(IsInline(path));
}

TEST(FilePathTest, KeepsUpTo127CharactersInsideTheObject) {
    const std::string text127(127, 'a');
    const std::string text128(128, 'b');
    FilePath path(text127.c_str());
    EXPECT_TRUE(IsInline(path));
    EXPECT_EQ(path.ToString(), text127);

    path.AssignTrimmed(text128.c_str(), 128);
    EXPECT_FALSE(IsInline(path));
    EXPECT_EQ(path.ToString(), text128);

    path.AssignTrimmed(text127.c_str(), 127);
    EXPECT_TRUE(IsInline(path));
    EXPECT_EQ(path.ToString(), text127);
}

TEST(FilePathTest, ACopyEqualsItsSourceCharacterForCharacter) {
    for (const std::string& text : {std::string("C:\\data\\Relays.dat"), std::string(300, 'x')}) {
        const FilePath source(text.c_str());
        const FilePath copy(source);
        EXPECT_EQ(copy.ToString(), source.ToString());
        EXPECT_NE(copy.CStr(), source.CStr());

        FilePath assigned("other");
        assigned = source;
        EXPECT_EQ(assigned.ToString(), source.ToString());
    }
}

// The text may come from the path's own storage, inline or on the heap, and
// the storage may change kind on the way.
TEST(FilePathTest, AssignsFromItsOwnText) {
    const struct {
        const char* name;
        std::string text;
        std::uint32_t skip;
        std::uint32_t keep;
    } cases[] = {
        {"InlineToInline", std::string(100, 'i') + "/tail", 10, 50},
        {"HeapToInline", std::string(200, 'h') + "/tail", 150, 55},
        {"HeapToShorterHeap", std::string(300, 'g') + "/tail", 5, 250},
        {"HeapToSameLengthHeap", std::string(300, 'f') + "/tail", 0, 305},
        {"OwnTextEndingInASeparator", std::string(140, 'w') + "/x", 0, 141},
    };
    for (const auto& item : cases) {
        FilePath path;
        path.AssignTrimmed(item.text.c_str(), static_cast<std::uint32_t>(item.text.size()));
        std::string expected = item.text.substr(item.skip, item.keep);
        while (!expected.empty() && expected.back() == '/') {
            expected.pop_back();
        }
        path.AssignTrimmed(path.CStr() + item.skip, item.keep);
        EXPECT_EQ(path.ToString(), expected) << item.name;
        EXPECT_EQ(path.Length(), expected.size()) << item.name;
        EXPECT_EQ(path.CStr()[path.Length()], '\0') << item.name;
    }
}

TEST(FilePathTest, SelfAssignmentKeepsTheText) {
    FilePath path(std::string(200, 's').c_str());
    const FilePath& same = path;
    path = same;
    EXPECT_EQ(path.ToString(), std::string(200, 's'));
}

}  // namespace
