// A relay list described in text: the header, questions and records of one
// DNS reply, read from the line-oriented format that tools/README.md
// documents. relay_list_writer.hpp turns a description into wire form.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "data/bytes.hpp"
#include "errors/exceptions.hpp"

// A domain name as its labels, first label first, each 1 to 63 bytes taken
// as they are; no labels at all is the root name.
using NameLabels = std::vector<std::string>;

// RDATA as it is to be written: runs of fixed bytes and domain names, which
// the writer may compress.
using RecordDataPiece = std::variant<ByteVector, NameLabels>;

enum class RelayListSection { Answer, Authority, Additional };

struct DescribedHeader {
    std::uint16_t id = 0;
    bool qr = true;  // a relay list is a reply
    std::uint8_t opcode = 0;
    bool aa = false;
    bool tc = false;
    bool rd = false;
    bool ra = false;
    std::uint8_t reservedBits = 0;  // Z, AD, CD: flag bits 6 to 4 as 0 to 7
    std::uint8_t rcode = 0;
};

struct DescribedQuestion {
    NameLabels name;
    std::uint16_t type = 0;
    std::uint16_t recordClass = 0;
};

struct DescribedRecord {
    RelayListSection section = RelayListSection::Answer;
    NameLabels owner;
    std::uint16_t type = 0;
    std::uint16_t recordClass = 0;
    std::uint32_t ttl = 0;
    std::vector<RecordDataPiece> data;
};

// Header counts, in header order.
enum CountIndex : std::size_t {
    kQuestionCount,
    kAnswerCount,
    kAuthorityCount,
    kAdditionalCount,
    kCountFields
};

struct RelayListDescription {
    DescribedHeader header;
    // Counts written in place of the computed ones, so a test file can
    // disagree with its own contents.
    std::array<std::optional<std::uint16_t>, kCountFields> countOverrides;
    bool compressNames = true;
    std::vector<DescribedQuestion> questions;
    std::vector<DescribedRecord> records;  // answers, then authorities, then additionals
};

// A description that cannot be read. what() is "line N: " and the problem,
// one line of text without a line feed; Line() is N, counted from 1.
class RelayListDescriptionError : public ExceptionPL {
  public:
    RelayListDescriptionError(std::size_t line, const std::string& problem);

    std::size_t Line() const { return line; }

  private:
    std::size_t line;
};

// Reads a whole description. Lines end in LF or CR LF; a UTF-8 byte order
// mark before the first line is skipped.
//
// Returns the description with every limit of the wire format already
// checked: labels of 1 to 63 bytes, names of at most 255 bytes in wire form,
// at most 65535 entries per section and RDATA of at most 65535 bytes even
// when nothing is compressed.
// Throws RelayListDescriptionError for the first line that is wrong; nothing
// is returned then.
RelayListDescription ParseRelayListDescription(std::string_view text);
