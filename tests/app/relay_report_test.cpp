#include "app/relay_report.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/bytes.hpp"
#include "errors/exceptions.hpp"
#include "files/file_errors.hpp"
#include "tools/make_relay_list/relay_list_writer.hpp"

namespace {

// A relay list in a temporary folder of its own, removed afterwards.
class RelayReportTest : public testing::Test {
  protected:
    void SetUp() override {
        folder =
            std::filesystem::temp_directory_path() /
            ("skelvin-report-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
        path = (folder / "Relays.dat").string();
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    void Write(const ByteVector& bytes) {
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

    std::filesystem::path folder;
    std::string path;
    std::ostringstream out;
};

constexpr const char kTwoRelaysThenABrokenTarget[] = R"(
answer east.relays.corp.local. 60 IN SRV 10 5 700 relay1.corp.local.
answer relays.corp.local.      60 IN A 192.0.2.1
answer relays.                 60 IN SRV 0 65535 0 .
# A target that points at itself.
answer west.relays.corp.local. 60 IN 33 0001 0002 0003 c0ff
)";

TEST_F(RelayReportTest, PrintsEveryBlockBeforeTheRecordThatFails) {
    ByteVector bytes = WriteRelayList(kTwoRelaysThenABrokenTarget);
    // Aim the last record's pointer at its own position.
    const std::size_t pointer = bytes.size() - 2;
    bytes[pointer] = static_cast<Byte>(0xC0 | (pointer >> 8));
    bytes[pointer + 1] = static_cast<Byte>(pointer & 0xFF);
    Write(bytes);

    EXPECT_THROW(PrintRelays(path.c_str(), out), BadDNSName);
    EXPECT_EQ(out.str(),
              "Affiliation: east\n"
              "Name:        relay1.corp.local.\n"
              "Port:        700\n"
              "Priority:    10\n"
              "Weight:      5\n"
              "\n"
              "Affiliation: Unaffiliated\n"
              "Name:        .\n"
              "Port:        0\n"
              "Priority:    0\n"
              "Weight:      65535\n"
              "\n");
}

// Keeps what is written and, at every flush, the text written since the
// flush before.
class FlushRecorder : public std::stringbuf {
  public:
    std::vector<std::string> flushed;

  protected:
    int sync() override {
        flushed.push_back(str().substr(flushedSize));
        flushedSize = str().size();
        return 0;
    }

  private:
    std::size_t flushedSize = 0;
};

// Each line must reach the output the moment it is complete, so that a
// process that dies half way leaves every line printed before: one flush
// per line, right after its line feed, and none inside a line.
TEST_F(RelayReportTest, FlushesEveryLineAsItIsCompleted) {
    ByteVector bytes = WriteRelayList(kTwoRelaysThenABrokenTarget);
    const std::size_t pointer = bytes.size() - 2;
    bytes[pointer] = static_cast<Byte>(0xC0 | (pointer >> 8));
    bytes[pointer + 1] = static_cast<Byte>(pointer & 0xFF);
    FlushRecorder recorder;
    std::ostream recorded(&recorder);

    EXPECT_THROW(PrintRelaysOfMessage(ConstData::Over(bytes), recorded), BadDNSName);
    EXPECT_EQ(recorder.flushed,
              (std::vector<std::string>{"Affiliation: east\n", "Name:        relay1.corp.local.\n",
                                        "Port:        700\n", "Priority:    10\n",
                                        "Weight:      5\n", "\n", "Affiliation: Unaffiliated\n",
                                        "Name:        .\n", "Port:        0\n", "Priority:    0\n",
                                        "Weight:      65535\n", "\n"}));
    // Nothing was left unflushed at the failure.
    std::string flushedText;
    for (const std::string& piece : recorder.flushed) {
        flushedText += piece;
    }
    EXPECT_EQ(recorder.str(), flushedText);
}

TEST_F(RelayReportTest, AFileThatCannotBeOpenedPrintsNothing) {
    EXPECT_THROW(PrintRelays((folder / "absent.dat").string().c_str(), out), FileNotFoundError);
    EXPECT_EQ(out.str(), "");
}

TEST_F(RelayReportTest, TrailingSeparatorsOfThePathAreDropped) {
    Write(WriteRelayList("answer a.b. 1 IN SRV 1 2 3 t.\n"));
    PrintRelays((path + "//").c_str(), out);
    EXPECT_EQ(
        out.str(),
        "Affiliation: a\nName:        t.\nPort:        3\nPriority:    1\nWeight:      2\n\n");
}

TEST_F(RelayReportTest, RefusesAReplyThatIsNotUsable) {
    for (const char* flags : {"flags", "flags qr tc"}) {
        out.str("");
        Write(WriteRelayList(std::string(flags) + "\nanswer a.b. 1 IN SRV 1 2 3 t.\n"));
        EXPECT_THROW(PrintRelays(path.c_str(), out), BadDNSReply) << flags;
        EXPECT_EQ(out.str(), "") << flags;
    }
}

}  // namespace
