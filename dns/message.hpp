// Decoders of a DNS message held in memory (RFC 1035 section 4, SRV data
// from RFC 2782), item by item.
//
// Every decoder takes a ConstData by value whose begin is the item's first
// byte and a reference to the output record, fills the record and returns
// the ConstData from the first byte after the item to the same end. They
// keep no state, allocate nothing and never write their input; names and
// RDATA in the outputs are ranges into the input, never copies. A decoder
// that throws may have filled some fields of its output already; callers do
// not use an output after a throw.
#pragma once

#include <cstdint>

#include "data/bytes.hpp"

// Reads a big-endian unsigned 16-bit value and returns the range 2 bytes on.
// Throws ConstDataTooSmall when fewer than 2 bytes are given; `value` is
// then unchanged.
ConstData ReadBigEndian16(ConstData data, std::uint16_t& value);

// Reads a big-endian unsigned 32-bit value and returns the range 4 bytes on.
// Throws ConstDataTooSmall when fewer than 4 bytes are given; `value` is
// then unchanged.
ConstData ReadBigEndian32(ConstData data, std::uint32_t& value);

struct DNSMessageHeader {
    std::uint16_t id = 0;
    bool qr = false;  // a reply, not a query
    std::uint8_t opcode = 0;
    bool aa = false;
    bool tc = false;  // truncated
    bool rd = false;
    bool ra = false;
    std::uint8_t rcode = 0;
    std::uint16_t questionCount = 0;
    std::uint16_t answerCount = 0;
    std::uint16_t authorityCount = 0;
    std::uint16_t additionalCount = 0;
};

// Decodes the 12-byte header. No field is judged here: any ID, opcode, flag
// combination, RCODE or count is accepted; whether the message is a usable
// reply is up to the caller. The three reserved flag bits are dropped.
// Throws BadDNSMessageHeader when fewer than 12 bytes are given, before
// anything is written to `header`.
ConstData ReadDNSMessageHeader(ConstData data, DNSMessageHeader& header);

struct DNSQuestion {
    ConstData name;  // wire form, up to and including its root label or pointer
    std::uint16_t type = 0;
    std::uint16_t recordClass = 0;
};

// Decodes one question entry: a name, TYPE and CLASS.
// Throws BadDNSCompressedName when the name's wire form is malformed or does
// not end inside `data` (see ReadDNSCompressedName), and BadDNSQuestion when
// fewer than 4 bytes follow the name; `question.name` is already set then.
ConstData ReadDNSQuestion(ConstData data, DNSQuestion& question);

struct DNSRecord {
    ConstData name;  // owner name's wire form, as in DNSQuestion
    std::uint16_t type = 0;
    std::uint16_t recordClass = 0;
    std::uint32_t ttl = 0;
    ConstData rdata;
};

// Decodes one resource record. The RDATA is not looked into, whatever the
// type; `record.rdata` covers exactly RDLENGTH bytes.
// Throws BadDNSCompressedName when the owner name's wire form is malformed or
// does not end inside `data`, and BadDNSRecord when fewer than 10 bytes
// follow the name or RDLENGTH is greater than the bytes left after the
// RDLENGTH field (equal is accepted). Fields read before the throw are set.
ConstData ReadDNSRecord(ConstData data, DNSRecord& record);

struct DNSServiceRecordData {
    std::uint16_t priority = 0;
    std::uint16_t weight = 0;
    std::uint16_t port = 0;
    ConstData target;  // the target name's wire form, inside the RDATA
};

// Decodes SRV RDATA. `rdata` is the record's RDATA range, so the target
// name's wire form must end inside the RDATA; a compression pointer in it may
// point anywhere in the message and is not followed here. Bytes after the
// target name are left in the returned range.
// Throws BadDNSServiceRecordData when the RDATA is shorter than 6 bytes,
// before anything is written, and BadDNSCompressedName when the target name
// is malformed or does not end inside the RDATA (six bytes exactly leave no
// room for it); priority, weight and port are set then.
ConstData ReadDNSServiceRecordData(ConstData rdata, DNSServiceRecordData& service);
