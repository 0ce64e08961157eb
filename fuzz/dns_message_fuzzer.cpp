// Walks arbitrary bytes the way the relay report walks a relay list: the
// header, every question, every counted record, and for each SRV record of
// class IN its data, the owner name's affiliation and the target's text. The
// reply check is left out so that queries and error replies are walked too,
// and nothing is printed.
//
// Only the decoding failures a malformed message may raise are caught.
// Anything else escaping (ConstDataTooSmall included, which the decoders
// must never let out) is a bug and ends the run, as do the invariant checks.

#include <cstddef>
#include <cstdint>
#include <string>

#include "data/bytes.hpp"
#include "dns/message.hpp"
#include "dns/name.hpp"
#include "dns/wire_format.hpp"
#include "errors/exceptions.hpp"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool Within(ConstData inner, ConstData outer) {
    return outer.begin <= inner.begin && inner.begin <= inner.end && inner.end <= outer.end;
}

// A decoder only moves forward, never past the end, and keeps the end.
void CheckAdvanced(ConstData given, ConstData returned) {
    Check(returned.end == given.end);
    Check(given.begin <= returned.begin && returned.begin <= given.end);
}

// A decoded item's wire form starts where the decoder was put and ends where
// the returned range starts.
void CheckCovers(ConstData item, ConstData given, ConstData returned) {
    Check(item.begin == given.begin);
    Check(Within(item, ConstData(given.begin, returned.begin)));
}

void CheckCursor(const DNSName& cursor, ConstData message) {
    const Byte* label = cursor.LabelPosition();
    Check(message.begin <= label && label < message.end);
    Check(*label <= DNSWire::kMaxLabelLength);
    const ConstData text = cursor.Label();
    Check(text.begin == label + 1);
    Check(Within(text, message));
    Check(cursor.IsRoot() == text.Empty());
    Check(cursor.Message().begin == message.begin && cursor.Message().end == message.end);
}

std::string Affiliation(const DNSRecord& record, ConstData message) {
    const DNSName owner(record.name, message);
    CheckCursor(owner, message);
    if (owner.IsRoot()) {
        return "Unaffiliated";
    }
    const DNSName next = owner.Next();
    CheckCursor(next, message);
    if (next.IsRoot()) {
        return "Unaffiliated";
    }
    const ConstData label = owner.Label();
    return std::string(reinterpret_cast<const char*>(label.begin), label.Size());
}

void WalkServiceRecord(const DNSRecord& record, ConstData message) {
    DNSServiceRecordData service;
    const ConstData rest = ReadDNSServiceRecordData(record.rdata, service);
    CheckAdvanced(record.rdata, rest);
    Check(service.target.begin == record.rdata.begin + DNSWire::kServiceRecordFixedSize);
    Check(service.target.end == rest.begin);

    const std::string affiliation = Affiliation(record, message);
    Check(!affiliation.empty() && affiliation.size() <= DNSWire::kMaxLabelLength);

    const DNSName target(service.target, message);
    CheckCursor(target, message);
    const std::string host = DNSNameToText(target);
    Check(!host.empty() && host.back() == '.');
    Check(host.size() <= DNSWire::kMaxLabelsPerName * (DNSWire::kMaxLabelLength + 1));
}

void WalkMessage(ConstData message) {
    DNSMessageHeader header;
    ConstData position = ReadDNSMessageHeader(message, header);
    CheckAdvanced(message, position);
    Check(position.begin == message.begin + DNSWire::kHeaderSize);

    for (unsigned index = 0; index < header.questionCount; ++index) {
        DNSQuestion question;
        const ConstData next = ReadDNSQuestion(position, question);
        CheckAdvanced(position, next);
        CheckCovers(question.name, position, next);
        Check(static_cast<std::size_t>(next.begin - question.name.end) ==
              DNSWire::kQuestionFixedSize);
        position = next;
    }

    const std::uint32_t total =
        std::uint32_t{header.answerCount} + header.authorityCount + header.additionalCount;
    for (std::uint32_t index = 0; index < total; ++index) {
        DNSRecord record;
        const ConstData next = ReadDNSRecord(position, record);
        CheckAdvanced(position, next);
        CheckCovers(record.name, position, next);
        Check(Within(record.rdata, ConstData(record.name.end, next.begin)));
        Check(static_cast<std::size_t>(record.rdata.begin - record.name.end) ==
              DNSWire::kRecordFixedSize);
        Check(record.rdata.end == next.begin);
        if (record.type == DNSWire::kTypeSRV && record.recordClass == DNSWire::kClassIN) {
            WalkServiceRecord(record, message);
        }
        position = next;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The report decodes a byte vector of exactly the file's size (null
    // pointers when empty); reading past it lands in ASan's red zone.
    const ByteVector bytes(data, data + size);
    try {
        WalkMessage(ConstData::Over(bytes));
    } catch (const BadDNSMessageHeader&) {
    } catch (const BadDNSQuestion&) {
    } catch (const BadDNSRecord&) {
    } catch (const BadDNSServiceRecordData&) {
    } catch (const BadDNSCompressedName&) {
    } catch (const BadDNSName&) {
    }
    return 0;
}
