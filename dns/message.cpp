#include "dns/message.hpp"

#include "dns/name.hpp"
#include "dns/wire_format.hpp"
#include "errors/exceptions.hpp"

namespace {

bool FlagBit(std::uint16_t flags, unsigned bit) {
    return ((flags >> bit) & 1u) != 0;
}

std::uint8_t FlagField(std::uint16_t flags, unsigned shift, unsigned mask) {
    return static_cast<std::uint8_t>((flags >> shift) & mask);
}

}  // namespace

ConstData ReadBigEndian16(ConstData data, std::uint16_t& value) {
    if (data.Size() < DNSWire::kField16Size) {
        throw ConstDataTooSmall();
    }
    // Bytes are unsigned, so nothing is sign-extended on the way up.
    value = static_cast<std::uint16_t>((unsigned{data.begin[0]} << DNSWire::kBitsPerByte) |
                                       data.begin[1]);
    return ConstData(data.begin + DNSWire::kField16Size, data.end);
}

ConstData ReadBigEndian32(ConstData data, std::uint32_t& value) {
    if (data.Size() < DNSWire::kField32Size) {
        throw ConstDataTooSmall();
    }
    std::uint32_t assembled = 0;
    for (std::size_t index = 0; index < DNSWire::kField32Size; ++index) {
        assembled = (assembled << DNSWire::kBitsPerByte) | data.begin[index];
    }
    value = assembled;
    return ConstData(data.begin + DNSWire::kField32Size, data.end);
}

//                                     1  1  1  1  1  1
//       0  1  2  3  4  5  6  7  8  9  0  1  2  3  4  5
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                      ID                       |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |QR|   Opcode  |AA|TC|RD|RA|   Z    |   RCODE   |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                    QDCOUNT                    |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                    ANCOUNT                    |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                    NSCOUNT                    |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                    ARCOUNT                    |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
ConstData ReadDNSMessageHeader(ConstData data, DNSMessageHeader& header) {
    if (data.Size() < DNSWire::kHeaderSize) {
        throw BadDNSMessageHeader();
    }
    std::uint16_t flags = 0;
    data = ReadBigEndian16(data, header.id); /* ID */
    data = ReadBigEndian16(data, flags);     /* QR, Opcode, AA, TC, RD, RA, Z, RCODE */
    header.qr = FlagBit(flags, DNSWire::kReplyBit);
    header.opcode = FlagField(flags, DNSWire::kOpcodeShift, DNSWire::kOpcodeMask);
    header.aa = FlagBit(flags, DNSWire::kAuthoritativeBit);
    header.tc = FlagBit(flags, DNSWire::kTruncatedBit);
    header.rd = FlagBit(flags, DNSWire::kRecursionDesiredBit);
    header.ra = FlagBit(flags, DNSWire::kRecursionAvailableBit);
    header.rcode = FlagField(flags, DNSWire::kRcodeShift, DNSWire::kRcodeMask);
    data = ReadBigEndian16(data, header.questionCount);   /* QDCOUNT */
    data = ReadBigEndian16(data, header.answerCount);     /* ANCOUNT */
    data = ReadBigEndian16(data, header.authorityCount);  /* NSCOUNT */
    data = ReadBigEndian16(data, header.additionalCount); /* ARCOUNT */
    return data;
}

//                                     1  1  1  1  1  1
//       0  1  2  3  4  5  6  7  8  9  0  1  2  3  4  5
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     /                     QNAME                     /
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                     QTYPE                     |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                     QCLASS                    |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
ConstData ReadDNSQuestion(ConstData data, DNSQuestion& question) {
    data = ReadDNSCompressedName(data, question.name); /* QNAME */
    if (data.Size() < DNSWire::kQuestionFixedSize) {
        throw BadDNSQuestion();
    }
    data = ReadBigEndian16(data, question.type);        /* QTYPE */
    data = ReadBigEndian16(data, question.recordClass); /* QCLASS */
    return data;
}

//                                     1  1  1  1  1  1
//       0  1  2  3  4  5  6  7  8  9  0  1  2  3  4  5
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     /                      NAME                     /
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                      TYPE                     |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                     CLASS                     |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                      TTL                      |
//     |                                               |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                   RDLENGTH                    |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     /                     RDATA                     /
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
ConstData ReadDNSRecord(ConstData data, DNSRecord& record) {
    data = ReadDNSCompressedName(data, record.name); /* NAME */
    if (data.Size() < DNSWire::kRecordFixedSize) {
        throw BadDNSRecord();
    }
    std::uint16_t rdataLength = 0;
    data = ReadBigEndian16(data, record.type);        /* TYPE */
    data = ReadBigEndian16(data, record.recordClass); /* CLASS */
    data = ReadBigEndian32(data, record.ttl);         /* TTL */
    data = ReadBigEndian16(data, rdataLength);        /* RDLENGTH */
    // Compared as sizes: data.begin + rdataLength may lie past the end.
    if (rdataLength > data.Size()) {
        throw BadDNSRecord();
    }
    record.rdata = ConstData(data.begin, data.begin + rdataLength); /* RDATA */
    return ConstData(record.rdata.end, data.end);
}

//                                     1  1  1  1  1  1
//       0  1  2  3  4  5  6  7  8  9  0  1  2  3  4  5
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                   PRIORITY                    |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                    WEIGHT                     |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     |                     PORT                      |
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
//     /                    TARGET                     /
//     +--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+--+
ConstData ReadDNSServiceRecordData(ConstData rdata, DNSServiceRecordData& service) {
    if (rdata.Size() < DNSWire::kServiceRecordFixedSize) {
        throw BadDNSServiceRecordData();
    }
    rdata = ReadBigEndian16(rdata, service.priority);    /* PRIORITY */
    rdata = ReadBigEndian16(rdata, service.weight);      /* WEIGHT */
    rdata = ReadBigEndian16(rdata, service.port);        /* PORT */
    return ReadDNSCompressedName(rdata, service.target); /* TARGET */
}
