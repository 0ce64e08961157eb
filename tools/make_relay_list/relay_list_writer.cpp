#include "tools/make_relay_list/relay_list_writer.hpp"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <variant>

#include "dns/wire_format.hpp"
#include "errors/exceptions.hpp"
#include "tools/make_relay_list/relay_list_wire.hpp"

namespace {

constexpr std::size_t kMax16 = std::numeric_limits<std::uint16_t>::max();

void AppendBigEndian16(ByteVector& bytes, std::size_t value) {
    if (value > kMax16) {
        throw DataOverflow();
    }
    bytes.push_back(static_cast<Byte>(value >> DNSWire::kBitsPerByte));
    bytes.push_back(static_cast<Byte>(value));
}

void AppendBigEndian32(ByteVector& bytes, std::uint32_t value) {
    AppendBigEndian16(bytes, value >> (2 * DNSWire::kBitsPerByte));
    AppendBigEndian16(bytes, value & kMax16);
}

void PutBigEndian16(ByteVector& bytes, std::size_t offset, std::size_t value) {
    if (value > kMax16) {
        throw DataOverflow();
    }
    bytes[offset] = static_cast<Byte>(value >> DNSWire::kBitsPerByte);
    bytes[offset + 1] = static_cast<Byte>(value);
}

// Writes names at the end of the message and remembers where each run of
// final labels was written, so later names can point back at it.
class NameWriter {
  public:
    NameWriter(ByteVector& message, bool compress) : message(message), compress(compress) {}

    void Write(const NameLabels& name) {
        // Longest suffix first: the first label from which the rest of the
        // name is already in the message.
        std::size_t pointed = name.size();
        std::size_t target = 0;
        if (compress) {
            for (std::size_t first = 0; first < name.size(); ++first) {
                const auto found = written.find(SuffixKey(name, first));
                if (found != written.end()) {
                    pointed = first;
                    target = found->second;
                    break;
                }
            }
        }
        for (std::size_t index = 0; index < pointed; ++index) {
            const std::string& label = name[index];
            if (label.empty() || label.size() > DNSWire::kMaxLabelLength) {
                throw DataOverflow();
            }
            // A pointer holds 14 bits of offset; a suffix written further on
            // cannot be pointed at.
            if (compress && message.size() <= DNSWire::kPointerOffsetMask) {
                written.emplace(SuffixKey(name, index), message.size());
            }
            message.push_back(static_cast<Byte>(label.size()));
            message.insert(message.end(), label.begin(), label.end());
        }
        if (pointed < name.size()) {
            AppendBigEndian16(
                message, (std::size_t{DNSWire::kPointerKind} << DNSWire::kBitsPerByte) | target);
        } else {
            message.push_back(DNSWire::kRootLabelLength);
        }
    }

  private:
    // The labels from `first` on, each behind its length, so no two
    // different label runs share a key.
    static std::string SuffixKey(const NameLabels& name, std::size_t first) {
        std::string key;
        for (std::size_t index = first; index < name.size(); ++index) {
            key.push_back(static_cast<char>(name[index].size()));
            key += name[index];
        }
        return key;
    }

    ByteVector& message;
    bool compress;
    std::map<std::string, std::size_t> written;
};

std::uint16_t FlagsWord(const DescribedHeader& header) {
    unsigned flags = (unsigned{header.qr} << DNSWire::kReplyBit) |
                     ((header.opcode & DNSWire::kOpcodeMask) << DNSWire::kOpcodeShift) |
                     (unsigned{header.aa} << DNSWire::kAuthoritativeBit) |
                     (unsigned{header.tc} << DNSWire::kTruncatedBit) |
                     (unsigned{header.rd} << DNSWire::kRecursionDesiredBit) |
                     (unsigned{header.ra} << DNSWire::kRecursionAvailableBit) |
                     ((header.reservedBits & 0x7u) << RelayListWire::kReservedShift) |
                     ((header.rcode & DNSWire::kRcodeMask) << DNSWire::kRcodeShift);
    return static_cast<std::uint16_t>(flags);
}

}  // namespace

ByteVector EncodeRelayList(const RelayListDescription& description,
                           const RelayListOptions& options) {
    // The header goes in last, once the counts are known.
    ByteVector message(DNSWire::kHeaderSize, 0);
    NameWriter names(message, options.compressNames && description.compressNames);

    std::size_t counts[kCountFields] = {description.questions.size()};
    for (const DescribedQuestion& question : description.questions) {
        names.Write(question.name);
        AppendBigEndian16(message, question.type);
        AppendBigEndian16(message, question.recordClass);
    }
    for (const DescribedRecord& record : description.records) {
        ++counts[kAnswerCount + static_cast<std::size_t>(record.section)];
        names.Write(record.owner);
        AppendBigEndian16(message, record.type);
        AppendBigEndian16(message, record.recordClass);
        AppendBigEndian32(message, record.ttl);
        const std::size_t lengthOffset = message.size();
        AppendBigEndian16(message, 0);  // RDLENGTH, once the RDATA is written
        const std::size_t dataOffset = message.size();
        for (const RecordDataPiece& piece : record.data) {
            if (const auto* bytes = std::get_if<ByteVector>(&piece)) {
                message.insert(message.end(), bytes->begin(), bytes->end());
            } else {
                names.Write(std::get<NameLabels>(piece));
            }
        }
        PutBigEndian16(message, lengthOffset, message.size() - dataOffset);
    }

    PutBigEndian16(message, 0, description.header.id);
    PutBigEndian16(message, DNSWire::kField16Size, FlagsWord(description.header));
    for (std::size_t field = 0; field < kCountFields; ++field) {
        const std::optional<std::uint16_t>& given = description.countOverrides[field];
        PutBigEndian16(message, (2 + field) * DNSWire::kField16Size,
                       given ? *given : counts[field]);
    }
    return message;
}

ByteVector WriteRelayList(std::string_view text, const RelayListOptions& options) {
    return EncodeRelayList(ParseRelayListDescription(text), options);
}
