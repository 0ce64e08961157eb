#include "tools/make_relay_list/make_relay_list_command.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "data/bytes.hpp"
#include "tests/support/case_name.hpp"
#include "tools/make_relay_list/relay_list_writer.hpp"

namespace {

using TestCaseNames::PrintTo;

namespace fs = std::filesystem;

constexpr const char kDescription[] =
    "question relays.corp. IN SRV\n"
    "answer east.relays.corp. 300 IN SRV 10 5 700 relay1.corp.\n";

// A folder of the test's own under the system's temporary folder, removed
// afterwards.
class MakeRelayListCommand : public testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        folder = fs::temp_directory_path() /
                 ("skelvin-tools-" + std::to_string(random()) + "-" + std::to_string(random()));
        fs::create_directories(folder);
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    std::string PathOf(const std::string& name) const { return (folder / name).string(); }

    std::string WriteFile(const std::string& name, const std::string& content) const {
        const std::string path = PathOf(name);
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    static std::string AsText(const ByteVector& bytes) {
        return std::string(bytes.begin(), bytes.end());
    }

    int Run(const std::vector<std::string>& arguments) {
        errors.str("");
        return RunMakeRelayList(arguments, errors);
    }

    fs::path folder;
    std::ostringstream errors;
};

TEST_F(MakeRelayListCommand, WritesTheRelayListAndNothingElse) {
    const std::string description = WriteFile("relays.txt", kDescription);
    const std::string relayList = PathOf("Relays.dat");
    EXPECT_EQ(Run({description, relayList}), kMakeRelayListSucceeded);
    EXPECT_EQ(errors.str(), "");
    EXPECT_EQ(ReadFile(relayList), AsText(WriteRelayList(kDescription)));
}

TEST_F(MakeRelayListCommand, ReplacesAnOlderRelayListWhole) {
    const std::string description = WriteFile("relays.txt", kDescription);
    const std::string relayList = WriteFile("Relays.dat", std::string(1000, 'o'));
    EXPECT_EQ(Run({description, relayList}), kMakeRelayListSucceeded);
    EXPECT_EQ(ReadFile(relayList), AsText(WriteRelayList(kDescription)));
}

TEST_F(MakeRelayListCommand, TurnsCompressionOffWhereverTheOptionStands) {
    const std::string description = WriteFile("relays.txt", kDescription);
    const std::string expected = AsText(WriteRelayList(kDescription, RelayListOptions{false}));
    ASSERT_NE(expected, AsText(WriteRelayList(kDescription)));
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--no-compression", description, PathOf("first.dat")},
          std::vector<std::string>{description, PathOf("second.dat"), "--no-compression"}}) {
        EXPECT_EQ(Run(arguments), kMakeRelayListSucceeded);
        EXPECT_EQ(ReadFile(arguments[arguments[0] == "--no-compression" ? 2 : 1]), expected);
    }
}

TEST_F(MakeRelayListCommand, NamesTheFileAndLineOfAWrongDescriptionAndKeepsTheOldRelayList) {
    const std::string description =
        WriteFile("relays.txt", "id 1\nanswer relay 0 IN A 192.0.2.1\n");
    const std::string relayList = WriteFile("Relays.dat", "old");
    EXPECT_EQ(Run({description, relayList}), kMakeRelayListFailed);
    EXPECT_EQ(errors.str(),
              description + ": line 2: owner name \"relay\" does not end with a dot\n");
    EXPECT_EQ(ReadFile(relayList), "old");
}

TEST_F(MakeRelayListCommand, ReportsADescriptionThatCannotBeRead) {
    for (const std::string& description : {PathOf("missing.txt"), folder.string()}) {
        const std::string relayList = PathOf("Relays.dat");
        EXPECT_EQ(Run({description, relayList}), kMakeRelayListFailed);
        EXPECT_EQ(errors.str(), "cannot read \"" + description + "\"\n");
        EXPECT_FALSE(fs::exists(relayList));
    }
}

TEST_F(MakeRelayListCommand, ReportsARelayListThatCannotBeWritten) {
    const std::string description = WriteFile("relays.txt", kDescription);
    const std::string relayList = PathOf("no-such-folder/Relays.dat");
    EXPECT_EQ(Run({description, relayList}), kMakeRelayListFailed);
    EXPECT_EQ(errors.str(), "cannot write \"" + relayList + "\"\n");
}

struct UsageCase {
    const char* name;
    std::vector<std::string> arguments;
};

class MakeRelayListUsage : public MakeRelayListCommand,
                           public testing::WithParamInterface<UsageCase> {};

TEST_P(MakeRelayListUsage, PrintsTheUsageLineAndWritesNothing) {
    const std::string description = WriteFile("relays.txt", kDescription);
    std::vector<std::string> arguments = GetParam().arguments;
    for (std::string& argument : arguments) {
        if (argument == "DESCRIPTION") {
            argument = description;
        } else if (argument == "OUT") {
            argument = PathOf("Relays.dat");
        }
    }
    EXPECT_EQ(Run(arguments), kMakeRelayListUsage);
    EXPECT_EQ(errors.str(), std::string(kMakeRelayListUsageLine) + "\n");
    EXPECT_FALSE(fs::exists(PathOf("Relays.dat")));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, MakeRelayListUsage,
    testing::Values(UsageCase{"None", {}}, UsageCase{"DescriptionOnly", {"DESCRIPTION"}},
                    UsageCase{"OptionAndDescriptionOnly", {"--no-compression", "DESCRIPTION"}},
                    UsageCase{"ThreePaths", {"DESCRIPTION", "OUT", "OUT"}},
                    UsageCase{"UnknownOption", {"--verbose", "DESCRIPTION", "OUT"}},
                    UsageCase{"ShortOption", {"DESCRIPTION", "OUT", "-n"}}),
    TestCaseNames::CaseName<UsageCase>);

}  // namespace
