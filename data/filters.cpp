#include "data/filters.hpp"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

using CaseMap = std::array<Byte, 256>;

// Maps the letters from..from+25 to to..to+25 and every other byte to itself.
constexpr CaseMap MakeCaseMap(Byte from, Byte to) {
    CaseMap map{};
    for (std::size_t value = 0; value < map.size(); ++value) {
        map[value] = static_cast<Byte>(value);
    }
    for (std::size_t letter = 0; letter < 26; ++letter) {
        map[from + letter] = static_cast<Byte>(to + letter);
    }
    return map;
}

constexpr CaseMap kRaisingMap = MakeCaseMap('a', 'A');
constexpr CaseMap kLoweringMap = MakeCaseMap('A', 'a');

// The count that Filter may move: whatever fits from the input.
std::size_t MovableCount(const ConstData& input, const MutableData& output) {
    return std::min(input.Size(), output.Room());
}

void FilterThrough(const CaseMap& map, ConstData& input, MutableData& output) {
    const std::size_t count = MovableCount(input, output);
    // Room is measured once up front, so no byte is ever put without room.
    output.cursor = std::transform(input.begin, input.begin + count, output.cursor,
                                   [&map](Byte value) { return map[value]; });
    input.begin += count;
}

}  // namespace

DataFilter::~DataFilter() = default;

void DataFilter::Filter(ConstData& input, MutableData& output) {
    const std::size_t count = MovableCount(input, output);
    output.cursor = std::copy_n(input.begin, count, output.cursor);
    input.begin += count;
}

bool DataFilter::IsStateless() const {
    return true;
}

void DataFilter::Flush(MutableData&) {}

DataFilter& SharedDataFilter() {
    static DataFilter filter;
    return filter;
}

namespace Ascii {

void CaseRaisingFilter::Filter(ConstData& input, MutableData& output) {
    FilterThrough(kRaisingMap, input, output);
}

void CaseLoweringFilter::Filter(ConstData& input, MutableData& output) {
    FilterThrough(kLoweringMap, input, output);
}

CaseRaisingFilter& CaseRaising() {
    static CaseRaisingFilter filter;
    return filter;
}

CaseLoweringFilter& CaseLowering() {
    static CaseLoweringFilter filter;
    return filter;
}

}  // namespace Ascii

namespace {

// Builds the shared filters during start-up, before main, in the order the
// start-up tables use: lowering, raising, then the plain filter.
[[maybe_unused]] const bool sharedFiltersBuilt =
    (Ascii::CaseLowering(), Ascii::CaseRaising(), SharedDataFilter(), true);

}  // namespace
