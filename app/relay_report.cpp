#include "app/relay_report.hpp"

#include <charconv>
#include <cstdint>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>

#include "data/bytes.hpp"
#include "data/data_writer.hpp"
#include "dns/message.hpp"
#include "dns/name.hpp"
#include "dns/wire_format.hpp"
#include "errors/exceptions.hpp"
#include "files/file_path.hpp"
#include "files/file_reading_loop.hpp"

namespace {

// Every label is 13 characters wide so that the values start in one column.
constexpr const char kAffiliationLabel[] = "Affiliation: ";
constexpr const char kNameLabel[] = "Name:        ";
constexpr const char kPortLabel[] = "Port:        ";
constexpr const char kPriorityLabel[] = "Priority:    ";
constexpr const char kWeightLabel[] = "Weight:      ";
constexpr const char kUnaffiliated[] = "Unaffiliated";

static_assert(sizeof kAffiliationLabel - 1 == 13 && sizeof kNameLabel - 1 == 13 &&
              sizeof kPortLabel - 1 == 13 && sizeof kPriorityLabel - 1 == 13 &&
              sizeof kWeightLabel - 1 == 13);

struct RelayBlock {
    std::string affiliation;
    std::string hostName;
    std::uint16_t port = 0;
    std::uint16_t priority = 0;
    std::uint16_t weight = 0;
};

std::string TextOf(ConstData bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.begin), bytes.Size());
}

// A relay's affiliation is the first label of its record's owner name; a name
// of fewer than two labels names no affiliation.
std::string AffiliationOf(const DNSName& owner) {
    if (owner.IsRoot() || owner.Next().IsRoot()) {
        return kUnaffiliated;
    }
    return TextOf(owner.Label());
}

// Everything that can fail for a record happens here, before its first line
// is printed.
RelayBlock DecodeRelay(const DNSRecord& record, ConstData message) {
    DNSServiceRecordData service;
    ReadDNSServiceRecordData(record.rdata, service);
    RelayBlock block;
    block.affiliation = AffiliationOf(DNSName(record.name, message));
    block.hostName = DNSNameToText(DNSName(service.target, message));
    block.port = service.port;
    block.priority = service.priority;
    block.weight = service.weight;
    return block;
}

// Writes the label, the value and the line feed in one piece, then flushes:
// the line reaches the output whole, with one write for the stream to pass
// on instead of one per part.
class LinePrinter {
  public:
    explicit LinePrinter(std::ostream& out) : out(out) {}

    void Print(std::string_view label, std::string_view value) {
        line.assign(label);
        line.append(value);
        line.push_back('\n');
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
        out.flush();
    }

    void Print(std::string_view label, std::uint16_t value) {
        char digits[5];
        const std::to_chars_result written =
            std::to_chars(std::begin(digits), std::end(digits), value);
        Print(label, std::string_view(digits, static_cast<std::size_t>(written.ptr - digits)));
    }

  private:
    std::ostream& out;
    // Kept from line to line, so that printing takes no allocation once
    // the longest line so far fits.
    std::string line;
};

void PrintBlock(LinePrinter& printer, const RelayBlock& block) {
    printer.Print(kAffiliationLabel, block.affiliation);
    printer.Print(kNameLabel, block.hostName);
    printer.Print(kPortLabel, block.port);
    printer.Print(kPriorityLabel, block.priority);
    printer.Print(kWeightLabel, block.weight);
    printer.Print({}, std::string_view());
}

// How many records ahead FetchRecordAhead reaches.
constexpr std::size_t kRecordsAhead = 8;

// Each record's place is known only once the one before it has been read,
// so walking a list far larger than the processor's caches waits for memory
// at every record. Records of a large list tend to be of one size: asking
// for the bytes where the record a few places ahead would start, if the
// records keep the size of the last one, lets memory answer in the
// background. A wrong guess costs nothing but the fetch; nothing is read.
void FetchRecordAhead(ConstData rest, std::size_t lastRecordSize) {
    if (lastRecordSize < rest.Size() / kRecordsAhead) {
        __builtin_prefetch(rest.begin + lastRecordSize * kRecordsAhead);
    }
}

void ReadWholeFile(const char* path, ByteVector& message) {
    VectorAppender appender;
    const FilePath filePath(path);
    ReadFileInto(filePath, appender.AppendTo(message), 0);
}

}  // namespace

void PrintRelays(const char* path) {
    PrintRelays(path, std::cout);
}

void PrintRelays(const char* path, std::ostream& out) {
    ByteVector buffer;
    ReadWholeFile(path, buffer);
    PrintRelaysOfMessage(ConstData::Over(buffer), out);
}

void PrintRelaysOfMessage(ConstData message, std::ostream& out) {
    DNSMessageHeader header;
    ConstData position = ReadDNSMessageHeader(message, header);
    if (!header.qr || header.tc || header.rcode != 0) {
        throw BadDNSReply();
    }

    for (unsigned index = 0; index < header.questionCount; ++index) {
        DNSQuestion question;
        position = ReadDNSQuestion(position, question);
    }

    LinePrinter printer(out);
    // The three sections are walked as one sequence; the sum of three 16-bit
    // counts cannot overflow 32 bits.
    const std::uint32_t recordCount = std::uint32_t{header.answerCount} +
                                      std::uint32_t{header.authorityCount} +
                                      std::uint32_t{header.additionalCount};
    for (std::uint32_t index = 0; index < recordCount; ++index) {
        DNSRecord record;
        const Byte* const recordBegin = position.begin;
        position = ReadDNSRecord(position, record);
        FetchRecordAhead(position, static_cast<std::size_t>(position.begin - recordBegin));
        if (record.type == DNSWire::kTypeSRV && record.recordClass == DNSWire::kClassIN) {
            PrintBlock(printer, DecodeRelay(record, message));
        }
    }
}
