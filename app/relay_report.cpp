#include "app/relay_report.hpp"

#include <cstdint>
#include <iostream>
#include <string>

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

void PrintLine(std::ostream& out, const char* label, const std::string& value) {
    out << label << value << std::endl;
}

void PrintLine(std::ostream& out, const char* label, std::uint16_t value) {
    out << label << value << std::endl;
}

void PrintBlock(std::ostream& out, const RelayBlock& block) {
    PrintLine(out, kAffiliationLabel, block.affiliation);
    PrintLine(out, kNameLabel, block.hostName);
    PrintLine(out, kPortLabel, block.port);
    PrintLine(out, kPriorityLabel, block.priority);
    PrintLine(out, kWeightLabel, block.weight);
    out << std::endl;
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

    // The three sections are walked as one sequence; the sum of three 16-bit
    // counts cannot overflow 32 bits.
    const std::uint32_t recordCount = std::uint32_t{header.answerCount} +
                                      std::uint32_t{header.authorityCount} +
                                      std::uint32_t{header.additionalCount};
    for (std::uint32_t index = 0; index < recordCount; ++index) {
        DNSRecord record;
        position = ReadDNSRecord(position, record);
        if (record.type == DNSWire::kTypeSRV && record.recordClass == DNSWire::kClassIN) {
            PrintBlock(out, DecodeRelay(record, message));
        }
    }
}
