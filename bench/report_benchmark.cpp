// The relay report in-process, on the largest and the hardest relay lists:
// decoding, name walking and formatting, with the output going to a sink that
// only counts it. Throughput is the report's text per second, so a list whose
// names cost more per printed byte (long names, pointer staircases) shows as a
// lower figure than the plain maximal list.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <string>

#include "app/relay_report.hpp"
#include "data/bytes.hpp"

namespace {

// Counts what is written and keeps nothing.
class CountingBuffer : public std::streambuf {
  public:
    std::size_t Count() const { return count; }

  protected:
    int_type overflow(int_type character) override {
        if (!traits_type::eq_int_type(character, traits_type::eof())) {
            ++count;
        }
        return traits_type::not_eof(character);
    }
    std::streamsize xsputn(const char*, std::streamsize size) override {
        count += static_cast<std::size_t>(size);
        return size;
    }

  private:
    std::size_t count = 0;
};

ByteVector ReadList(const std::string& name) {
    const std::string path = std::string(SKELVIN_BENCH_LISTS) + "/" + name + ".dat";
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return ByteVector(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Report(benchmark::State& state, const char* list) {
    const ByteVector message = ReadList(list);
    std::size_t printed = 0;
    for (auto _ : state) {
        CountingBuffer sink;
        std::ostream out(&sink);
        PrintRelaysOfMessage(ConstData::Over(message), out);
        printed += sink.Count();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(printed));
    state.counters["report_bytes"] =
        static_cast<double>(printed) / static_cast<double>(state.iterations());
}

}  // namespace

BENCHMARK_CAPTURE(Report, maximal, "maximal")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Report, long_names, "long-names")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Report, staircase, "staircase")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Report, bulk, "bulk")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
