#include "platform/memory_hints.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// The hint may change how memory is backed, never what it holds, whatever
// the range: too small, unaligned, straddling large pages, empty or null.
TEST(AskForLargePagesTest, LeavesEveryByteAsItWas) {
    constexpr std::size_t kSize = std::size_t{9} << 20;
    std::vector<unsigned char> block(kSize);
    for (std::size_t i = 0; i < kSize; ++i) {
        block[i] = static_cast<unsigned char>(i * 7 + (i >> 20));
    }
    const std::vector<unsigned char> before = block;
    struct Range {
        std::size_t offset;
        std::size_t size;
    };
    for (const Range range : {Range{0, kSize}, Range{1, kSize - 1}, Range{12345, 4u << 20},
                              Range{100, 4096}, Range{kSize / 2, 0}, Range{3, (2u << 20) + 1}}) {
        AskForLargePages(block.data() + range.offset, range.size);
    }
    AskForLargePages(nullptr, 0);
    EXPECT_EQ(block, before);

    // The memory stays the program's to write, all of it.
    for (std::size_t i = 0; i < kSize; i += 4096) {
        block[i] = 0x5A;
    }
    EXPECT_EQ(block[kSize - kSize % 4096 - 4096], 0x5A);
}

// A range whose end would wrap past the top of the address space is not a
// range the program owns; the hint must not turn it into one.
TEST(AskForLargePagesTest, IgnoresARangeThatWrapsAround) {
    unsigned char byte = 0x11;
    AskForLargePages(&byte, SIZE_MAX);
    AskForLargePages(reinterpret_cast<void*>(UINTPTR_MAX - 4096), std::size_t{8} << 20);
    EXPECT_EQ(byte, 0x11);
}

}  // namespace
