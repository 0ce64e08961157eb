// Runs the whole relay report over arbitrary bytes, as the program runs it
// over a relay list file: the header and reply check, the questions, every
// counted record, and for each SRV record of class IN its data, affiliation
// and host name, printed line by line. A failure is described as the driver
// describes it.
//
// The lines go to a sink that checks them as they are flushed and then drops
// them, so every block is really formatted. What must hold for every input:
// - the output is whole blocks of the five labelled lines and an empty line,
//   each line ended and flushed on its own, values of the shapes the report
//   prints, and no more blocks than the header counts records;
// - a failure is one of the decoding failures a malformed relay list may
//   raise, described by its class name, or the refused reply, described by
//   the catch-all text; which one it is agrees with the header bytes.
// Anything else escaping (ConstDataTooSmall, std::bad_alloc ...) is a bug,
// and so is any broken rule: the run aborts with a line saying which.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

#include "app/relay_report.hpp"
#include "data/bytes.hpp"
#include "dns/wire_format.hpp"
#include "errors/describe_exception.hpp"
#include "errors/exceptions.hpp"

namespace {

constexpr std::string_view kNoDiagnosticMessage = "No diagnostic message available";

void Check(bool condition, const char* rule) {
    if (!condition) {
        std::fprintf(stderr, "relay_report_fuzzer: broken rule: %s\n", rule);
        std::abort();
    }
}

// The driver's failure line, made the same way: should the description itself
// fail, the catch-all text stands in.
std::string FailureLine() {
    try {
        return DescribeCurrentException();
    } catch (...) {
        return std::string(kNoDiagnosticMessage);
    }
}

// The line that the exception being handled must give, or an empty view when
// its class is not one a malformed relay list may raise.
std::string_view ExpectedFailureLine() {
    try {
        throw;
    } catch (const BadDNSReply&) {
        return kNoDiagnosticMessage;
    } catch (const BadDNSMessageHeader&) {
        return "class BadDNSMessageHeader";
    } catch (const BadDNSQuestion&) {
        return "class BadDNSQuestion";
    } catch (const BadDNSRecord&) {
        return "class BadDNSRecord";
    } catch (const BadDNSServiceRecordData&) {
        return "class BadDNSServiceRecordData";
    } catch (const BadDNSCompressedName&) {
        return "class BadDNSCompressedName";
    } catch (const BadDNSName&) {
        return "class BadDNSName";
    } catch (...) {
        return {};
    }
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A number as the report prints it: unsigned decimal, no sign, no leading
// zeros, at most 65535.
bool IsPrintedNumber(std::string_view text) {
    if (text.empty() || text.size() > 5 || (text.size() > 1 && text.front() == '0')) {
        return false;
    }
    unsigned long value = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned long>(digit - '0');
    }
    return value <= 0xFFFF;
}

// Checks each line when it is flushed and then drops it. Labels are written
// byte for byte and may hold line feeds, so a line is what lies between two
// flushes, not between two line feeds.
class CheckingSink : public std::streambuf {
  public:
    std::size_t Blocks() const { return blocks; }

    // Every byte written was flushed, and the last block is whole.
    bool AtBlockBoundary() const { return line.empty() && lineInBlock == 0; }

  protected:
    int_type overflow(int_type character) override {
        if (!traits_type::eq_int_type(character, traits_type::eof())) {
            line.push_back(traits_type::to_char_type(character));
        }
        return traits_type::not_eof(character);
    }

    std::streamsize xsputn(const char_type* text, std::streamsize count) override {
        line.append(text, static_cast<std::size_t>(count));
        return count;
    }

    int sync() override {
        // A flush with nothing written since the last one carries no line.
        if (!line.empty()) {
            CheckLine();
            line.clear();
        }
        return 0;
    }

  private:
    static constexpr std::size_t kLinesPerBlock = 6;
    static constexpr std::size_t kMaxHostNameSize =
        DNSWire::kMaxLabelsPerName * (DNSWire::kMaxLabelLength + 1);

    void CheckLine() {
        Check(line.back() == '\n', "a flushed line ends with a line feed");
        const std::string_view text = std::string_view(line).substr(0, line.size() - 1);
        switch (lineInBlock) {
            case 0: {
                const std::string_view affiliation = ValueAfter(text, "Affiliation: ");
                Check(!affiliation.empty() && affiliation.size() <= DNSWire::kMaxLabelLength,
                      "the affiliation is one label or Unaffiliated");
                break;
            }
            case 1: {
                const std::string_view hostName = ValueAfter(text, "Name:        ");
                Check(!hostName.empty() && hostName.back() == '.' &&
                          hostName.size() <= kMaxHostNameSize,
                      "the host name is dotted text of at most 255 labels");
                break;
            }
            case 2:
                Check(IsPrintedNumber(ValueAfter(text, "Port:        ")),
                      "the port is printed as 0 to 65535");
                break;
            case 3:
                Check(IsPrintedNumber(ValueAfter(text, "Priority:    ")),
                      "the priority is printed as 0 to 65535");
                break;
            case 4:
                Check(IsPrintedNumber(ValueAfter(text, "Weight:      ")),
                      "the weight is printed as 0 to 65535");
                break;
            default:
                Check(text.empty(), "a block ends with an empty line");
                ++blocks;
                break;
        }
        lineInBlock = (lineInBlock + 1) % kLinesPerBlock;
    }

    // The block's lines come in a fixed order, each with its own label.
    static std::string_view ValueAfter(std::string_view text, std::string_view label) {
        Check(StartsWith(text, label), "each line of a block has its label, in block order");
        return text.substr(label.size());
    }

    std::string line;
    std::size_t lineInBlock = 0;
    std::size_t blocks = 0;
};

// What the header bytes alone say about the run, read here without the
// product's decoders.
struct RawHeader {
    bool complete = false;  // 12 bytes or more
    bool usableReply = false;
    std::uint32_t recordCount = 0;
};

RawHeader ReadRawHeader(const std::uint8_t* data, std::size_t size) {
    RawHeader header;
    if (size < DNSWire::kHeaderSize) {
        return header;
    }
    header.complete = true;
    const auto field = [data](std::size_t index) {
        return static_cast<std::uint32_t>(data[2 * index] << 8 | data[2 * index + 1]);
    };
    const std::uint32_t flags = field(1);
    header.usableReply = (flags >> DNSWire::kReplyBit & 1) == 1 &&
                         (flags >> DNSWire::kTruncatedBit & 1) == 0 &&
                         (flags >> DNSWire::kRcodeShift & DNSWire::kRcodeMask) == 0;
    header.recordCount = field(3) + field(4) + field(5);
    return header;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The report decodes a byte vector of exactly the file's size (null
    // pointers when empty); reading past it lands in ASan's red zone.
    const ByteVector bytes(data, data + size);
    CheckingSink sink;
    std::ostream out(&sink);

    std::string failure;
    std::string_view expectedFailure;
    bool failed = false;
    try {
        PrintRelaysOfMessage(ConstData::Over(bytes), out);
    } catch (...) {
        failed = true;
        failure = FailureLine();
        expectedFailure = ExpectedFailureLine();
    }

    Check(out.good(), "the report leaves the stream usable");
    Check(sink.AtBlockBoundary(), "the output is whole blocks, every line flushed");

    const RawHeader header = ReadRawHeader(data, size);
    Check(sink.Blocks() <= header.recordCount, "at most one block per counted record");
    if (failed) {
        Check(!expectedFailure.empty(), "only the decoding failures escape the report");
        Check(failure == expectedFailure, "the failure line names the failure's class");
    }
    const bool headerFailure = failed && expectedFailure == "class BadDNSMessageHeader";
    Check(headerFailure == !header.complete, "a short message fails on its header");
    const bool refused = failed && expectedFailure == kNoDiagnosticMessage;
    Check(refused == (header.complete && !header.usableReply),
          "a query, a truncated reply or an error reply is refused");
    if (!header.usableReply) {
        Check(sink.Blocks() == 0, "nothing is printed before the reply check");
    }
    return 0;
}
