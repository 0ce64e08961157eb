// The decoders and the name walk one item at a time, on small messages built
// here in the shapes the relay lists use: owners and targets written out or
// reached through compression pointers, the 255-step pointer staircase and
// the longest name. Next to report_benchmark they show which part of the
// report a change moved.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/bytes.hpp"
#include "dns/message.hpp"
#include "dns/name.hpp"
#include "dns/wire_format.hpp"
#include "tests/dns/message_builder.hpp"

namespace {

using DNSTest::MessageBuilder;
using DNSTest::Section;
using DNSTest::WireName;

const std::vector<std::string> kOwnerLabels = {"e0", "relays", "example"};
const std::vector<std::string> kTargetLabels = {"relay0", "e0", "relays", "example"};

// A reply as the maximal list writes it, one question for the owner and one
// for the target, and two SRV records: the first with owner and target as
// pointers to those, the second with both written out.
struct SampleReply {
    ByteVector bytes;
    std::size_t question = 0;
    std::size_t pointerOwnerRecord = 0;
    std::size_t fullOwnerRecord = 0;
};

SampleReply MakeSampleReply() {
    SampleReply reply;
    MessageBuilder builder;
    builder.Id(0x5E1F).Authoritative();
    reply.question = builder.Offset();
    builder.Question(WireName::Labels(kOwnerLabels));
    const std::size_t targetQuestion = builder.Offset();
    builder.Question(WireName::LabelsThenPointer({kTargetLabels.front()},
                                                 static_cast<std::uint16_t>(reply.question)));
    reply.pointerOwnerRecord = builder.Offset();
    builder.ServiceRecord(Section::Answer,
                          WireName::Pointer(static_cast<std::uint16_t>(reply.question)), 10, 20,
                          5061, WireName::Pointer(static_cast<std::uint16_t>(targetQuestion)));
    reply.fullOwnerRecord = builder.Offset();
    builder.ServiceRecord(Section::Answer, WireName::Labels(kOwnerLabels), 10, 20, 5061,
                          WireName::Labels(kTargetLabels));
    reply.bytes = builder.Build();
    return reply;
}

const SampleReply& Sample() {
    static const SampleReply reply = MakeSampleReply();
    return reply;
}

ConstData From(const ByteVector& message, std::size_t offset) {
    return ConstData(message.data() + offset, message.data() + message.size());
}

void ReadHeader(benchmark::State& state) {
    const ConstData message = ConstData::Over(Sample().bytes);
    DNSMessageHeader header;
    for (auto _ : state) {
        ConstData rest = ReadDNSMessageHeader(message, header);
        benchmark::DoNotOptimize(rest);
        benchmark::DoNotOptimize(header);
    }
    state.SetItemsProcessed(state.iterations());
}

void ReadQuestion(benchmark::State& state) {
    const ConstData question = From(Sample().bytes, Sample().question);
    DNSQuestion decoded;
    for (auto _ : state) {
        ConstData rest = ReadDNSQuestion(question, decoded);
        benchmark::DoNotOptimize(rest);
        benchmark::DoNotOptimize(decoded);
    }
    state.SetItemsProcessed(state.iterations());
}

void ReadRecord(benchmark::State& state, std::size_t SampleReply::*which) {
    const ConstData record = From(Sample().bytes, Sample().*which);
    DNSRecord decoded;
    for (auto _ : state) {
        ConstData rest = ReadDNSRecord(record, decoded);
        benchmark::DoNotOptimize(rest);
        benchmark::DoNotOptimize(decoded);
    }
    state.SetItemsProcessed(state.iterations());
}

void ReadServiceData(benchmark::State& state, std::size_t SampleReply::*which) {
    DNSRecord record;
    ReadDNSRecord(From(Sample().bytes, Sample().*which), record);
    const ConstData rdata = record.rdata;
    DNSServiceRecordData decoded;
    for (auto _ : state) {
        ConstData rest = ReadDNSServiceRecordData(rdata, decoded);
        benchmark::DoNotOptimize(rest);
        benchmark::DoNotOptimize(decoded);
    }
    state.SetItemsProcessed(state.iterations());
}

// A name to walk: a message, where the name starts in it and its text.
struct NameCase {
    ByteVector message;
    std::size_t start = 0;
    std::string text;
};

std::string Dotted(const std::vector<std::string>& labels) {
    std::string text;
    for (const std::string& label : labels) {
        text += label + ".";
    }
    return text;
}

// relay0.e0.relays.example. written out, as in the second sample record.
NameCase FlatName() {
    MessageBuilder builder;
    const std::size_t start = builder.Offset();
    builder.Question(WireName::Labels(kTargetLabels));
    return {builder.Build(), start, Dotted(kTargetLabels)};
}

// The same name as the maximal list's SRV targets reach it: a pointer to a
// label followed by a pointer to the rest.
NameCase PointedName() {
    MessageBuilder builder;
    const std::size_t owner = builder.Offset();
    builder.Question(WireName::Labels(kOwnerLabels));
    const std::size_t target = builder.Offset();
    builder.Question(
        WireName::LabelsThenPointer({kTargetLabels.front()}, static_cast<std::uint16_t>(owner)));
    const std::size_t start = builder.Offset();
    builder.Raw(WireName::Pointer(static_cast<std::uint16_t>(target)).Bytes());
    return {builder.Build(), start, Dotted(kTargetLabels)};
}

// The worst walk per label: 255 names of one label each, every one followed
// by a pointer to the one before, the walk starting at a pointer to the last.
NameCase StaircaseName() {
    MessageBuilder builder;
    std::vector<std::string> labels;
    std::size_t previous = 0;
    for (std::size_t step = 0; step < DNSWire::kMaxLabelsPerName; ++step) {
        const std::string label(1, static_cast<char>('a' + step % 26));
        const std::size_t offset = builder.Offset();
        builder.Question(
            step == 0 ? WireName::Labels({label})
                      : WireName::LabelsThenPointer({label}, static_cast<std::uint16_t>(previous)));
        labels.push_back(label);
        previous = offset;
    }
    const std::size_t start = builder.Offset();
    builder.Raw(WireName::Pointer(static_cast<std::uint16_t>(previous)).Bytes());
    std::reverse(labels.begin(), labels.end());
    return {builder.Build(), start, Dotted(labels)};
}

// The most text a name can give: 255 labels of 63 bytes.
NameCase LongestName() {
    std::vector<std::string> labels;
    for (std::size_t index = 0; index < DNSWire::kMaxLabelsPerName; ++index) {
        labels.emplace_back(DNSWire::kMaxLabelLength, static_cast<char>('a' + index % 26));
    }
    MessageBuilder builder;
    const std::size_t start = builder.Offset();
    builder.Question(WireName::Labels(labels));
    return {builder.Build(), start, Dotted(labels)};
}

// The cursor alone, label by label: what DNSNameToText costs apart from the
// text it builds.
void WalkName(benchmark::State& state, NameCase (*makeCase)()) {
    const NameCase name = makeCase();
    const ConstData message = ConstData::Over(name.message);
    const ConstData start = From(name.message, name.start);
    // Guards against a case that walks some other name than it says.
    if (DNSNameToText(DNSName(start, message)) != name.text) {
        state.SkipWithError("the case's name does not read as its text");
        return;
    }
    for (auto _ : state) {
        DNSName cursor(start, message);
        while (!cursor.IsRoot()) {
            ConstData label = cursor.Label();
            benchmark::DoNotOptimize(label);
            cursor = cursor.Next();
        }
    }
    const auto labels = std::count(name.text.begin(), name.text.end(), '.');
    state.SetItemsProcessed(state.iterations() * labels);
    state.counters["labels"] = static_cast<double>(labels);
}

void NameToText(benchmark::State& state, NameCase (*makeCase)()) {
    const NameCase name = makeCase();
    const DNSName cursor(From(name.message, name.start), ConstData::Over(name.message));
    if (DNSNameToText(cursor) != name.text) {
        state.SkipWithError("the case's name does not read as its text");
        return;
    }
    for (auto _ : state) {
        std::string text = DNSNameToText(cursor);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(name.text.size()));
}

}  // namespace

BENCHMARK(ReadHeader)->Name("ReadDNSMessageHeader");
BENCHMARK(ReadQuestion)->Name("ReadDNSQuestion");
BENCHMARK_CAPTURE(ReadRecord, owner_pointer, &SampleReply::pointerOwnerRecord)
    ->Name("ReadDNSRecord/owner_pointer");
BENCHMARK_CAPTURE(ReadRecord, owner_full_name, &SampleReply::fullOwnerRecord)
    ->Name("ReadDNSRecord/owner_full_name");
BENCHMARK_CAPTURE(ReadServiceData, target_pointer, &SampleReply::pointerOwnerRecord)
    ->Name("ReadDNSServiceRecordData/target_pointer");
BENCHMARK_CAPTURE(ReadServiceData, target_full_name, &SampleReply::fullOwnerRecord)
    ->Name("ReadDNSServiceRecordData/target_full_name");
BENCHMARK_CAPTURE(WalkName, flat, FlatName)->Name("DNSNameWalk/flat");
BENCHMARK_CAPTURE(WalkName, through_pointers, PointedName)->Name("DNSNameWalk/through_pointers");
BENCHMARK_CAPTURE(WalkName, staircase, StaircaseName)->Name("DNSNameWalk/staircase");
BENCHMARK_CAPTURE(NameToText, short_name, PointedName)->Name("DNSNameToText/short_name");
BENCHMARK_CAPTURE(NameToText, longest_name, LongestName)->Name("DNSNameToText/longest_name");

BENCHMARK_MAIN();
