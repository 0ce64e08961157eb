// A chained builder of well-formed DNS messages for tests: header fields,
// questions, and records with raw or SRV data, names written as labels or
// compression pointers. Malformed messages are written by hand instead, one
// commented byte per field, so the fault is visible in the test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/bytes.hpp"
#include "dns/wire_format.hpp"

namespace DNSTest {

inline void AppendBigEndian16(ByteVector& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<Byte>(value >> 8));
    bytes.push_back(static_cast<Byte>(value));
}

inline void AppendBigEndian32(ByteVector& bytes, std::uint32_t value) {
    AppendBigEndian16(bytes, static_cast<std::uint16_t>(value >> 16));
    AppendBigEndian16(bytes, static_cast<std::uint16_t>(value));
}

// A name in wire form: labels, then the root label or a compression pointer.
class WireName {
  public:
    // The root name: the root label alone.
    static WireName Root() { return Labels({}); }

    // The labels in order, then the root label: Labels({"east", "relays"}).
    static WireName Labels(const std::vector<std::string>& labels) {
        WireName name = LabelsOnly(labels);
        name.bytes.push_back(DNSWire::kRootLabelLength);
        return name;
    }

    // A compression pointer to `offset` from the message's first byte.
    static WireName Pointer(std::uint16_t offset) { return LabelsThenPointer({}, offset); }

    // The labels in order, then a compression pointer to `offset`.
    static WireName LabelsThenPointer(const std::vector<std::string>& labels,
                                      std::uint16_t offset) {
        if (offset > DNSWire::kPointerOffsetMask) {
            throw std::invalid_argument("pointer offset does not fit in 14 bits");
        }
        WireName name = LabelsOnly(labels);
        AppendBigEndian16(name.bytes,
                          static_cast<std::uint16_t>((DNSWire::kPointerKind << 8) | offset));
        return name;
    }

    const ByteVector& Bytes() const { return bytes; }

  private:
    static WireName LabelsOnly(const std::vector<std::string>& labels) {
        WireName name;
        for (const std::string& label : labels) {
            if (label.empty() || label.size() > DNSWire::kMaxLabelLength) {
                throw std::invalid_argument("a label holds 1 to 63 bytes");
            }
            name.bytes.push_back(static_cast<Byte>(label.size()));
            name.bytes.insert(name.bytes.end(), label.begin(), label.end());
        }
        return name;
    }

    ByteVector bytes;
};

// SRV RDATA: PRIORITY, WEIGHT, PORT, then the target name.
inline ByteVector ServiceRecordData(std::uint16_t priority, std::uint16_t weight,
                                    std::uint16_t port, const WireName& target) {
    ByteVector rdata;
    AppendBigEndian16(rdata, priority);
    AppendBigEndian16(rdata, weight);
    AppendBigEndian16(rdata, port);
    rdata.insert(rdata.end(), target.Bytes().begin(), target.Bytes().end());
    return rdata;
}

enum class Section { Answer, Authority, Additional };

// Entries are laid out in the order they are added, so Offset() tells where
// the next one starts (for compression pointers to it). Questions come
// before records and sections in message order; adding out of order throws
// std::logic_error. The header counts follow the entries added unless
// Counts() sets them.
class MessageBuilder {
  public:
    static constexpr std::uint32_t kDefaultTtl = 3600;

    // A reply (QR 1) with ID 0, every other flag 0 and no entries.
    MessageBuilder() = default;

    MessageBuilder& Id(std::uint16_t value) {
        id = value;
        return *this;
    }
    MessageBuilder& Query() { return SetFlag(DNSWire::kReplyBit, false); }
    MessageBuilder& Opcode(std::uint8_t value) {
        return SetField(DNSWire::kOpcodeShift, DNSWire::kOpcodeMask, value);
    }
    MessageBuilder& Authoritative() { return SetFlag(DNSWire::kAuthoritativeBit, true); }
    MessageBuilder& Truncated() { return SetFlag(DNSWire::kTruncatedBit, true); }
    MessageBuilder& RecursionDesired() { return SetFlag(DNSWire::kRecursionDesiredBit, true); }
    MessageBuilder& RecursionAvailable() { return SetFlag(DNSWire::kRecursionAvailableBit, true); }
    MessageBuilder& Rcode(std::uint8_t value) {
        return SetField(DNSWire::kRcodeShift, DNSWire::kRcodeMask, value);
    }

    // Header counts written as given, whatever entries are added.
    MessageBuilder& Counts(std::uint16_t questions, std::uint16_t answers,
                           std::uint16_t authorities, std::uint16_t additionals) {
        countsOverride = {questions, answers, authorities, additionals};
        return *this;
    }

    MessageBuilder& Question(const WireName& name, std::uint16_t type = DNSWire::kTypeSRV,
                             std::uint16_t recordClass = DNSWire::kClassIN) {
        if (RecordsAdded()) {
            throw std::logic_error("questions come before records");
        }
        Append(name.Bytes());
        AppendBigEndian16(body, type);
        AppendBigEndian16(body, recordClass);
        ++counts[0];
        return *this;
    }

    MessageBuilder& Record(Section section, const WireName& owner, std::uint16_t type,
                           std::uint16_t recordClass, std::uint32_t ttl, const ByteVector& rdata) {
        const auto index = 1 + static_cast<std::size_t>(section);
        for (std::size_t later = index + 1; later < counts.size(); ++later) {
            if (counts[later] != 0) {
                throw std::logic_error("records are added in section order");
            }
        }
        Append(owner.Bytes());
        AppendBigEndian16(body, type);
        AppendBigEndian16(body, recordClass);
        AppendBigEndian32(body, ttl);
        AppendBigEndian16(body, static_cast<std::uint16_t>(rdata.size()));
        Append(rdata);
        ++counts[index];
        return *this;
    }

    MessageBuilder& ServiceRecord(Section section, const WireName& owner, std::uint16_t priority,
                                  std::uint16_t weight, std::uint16_t port, const WireName& target,
                                  std::uint16_t recordClass = DNSWire::kClassIN) {
        return Record(section, owner, DNSWire::kTypeSRV, recordClass, kDefaultTtl,
                      ServiceRecordData(priority, weight, port, target));
    }

    // Bytes appended as they are and counted nowhere: a name for pointers to
    // aim at, or trailing bytes.
    MessageBuilder& Raw(const ByteVector& bytes) {
        Append(bytes);
        return *this;
    }

    // The offset from the message's first byte at which the next entry
    // starts.
    std::size_t Offset() const { return DNSWire::kHeaderSize + body.size(); }

    ByteVector Build() const {
        ByteVector message;
        AppendBigEndian16(message, id);
        AppendBigEndian16(message, flags);
        for (std::uint16_t count : countsOverride.empty() ? counts : countsOverride) {
            AppendBigEndian16(message, count);
        }
        message.insert(message.end(), body.begin(), body.end());
        return message;
    }

  private:
    MessageBuilder& SetFlag(unsigned bit, bool set) {
        const auto mask = static_cast<std::uint16_t>(1u << bit);
        flags = static_cast<std::uint16_t>(set ? (flags | mask) : (flags & ~mask));
        return *this;
    }

    MessageBuilder& SetField(unsigned shift, unsigned mask, std::uint8_t value) {
        if (value > mask) {
            throw std::invalid_argument("flag field value too large");
        }
        flags = static_cast<std::uint16_t>((flags & ~(mask << shift)) | (value << shift));
        return *this;
    }

    bool RecordsAdded() const { return counts[1] + counts[2] + counts[3] != 0; }

    void Append(const ByteVector& bytes) { body.insert(body.end(), bytes.begin(), bytes.end()); }

    std::uint16_t id = 0;
    std::uint16_t flags = 1u << DNSWire::kReplyBit;
    // Questions, answers, authorities, additionals.
    std::vector<std::uint16_t> counts = std::vector<std::uint16_t>(4, 0);
    std::vector<std::uint16_t> countsOverride;
    ByteVector body;
};

}  // namespace DNSTest
