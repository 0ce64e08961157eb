#include "platform/memory_hints.hpp"

#include <sys/mman.h>

#include <cstdint>

namespace {

// The size of a transparent huge page on the processors this build runs on.
constexpr std::uintptr_t kLargePageSize = std::uintptr_t{2} << 20;

}  // namespace

void AskForLargePages(void* begin, std::size_t size) {
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(begin);
    if (size < kLargePageSize || size > UINTPTR_MAX - kLargePageSize ||
        first > UINTPTR_MAX - kLargePageSize - size) {
        return;
    }
    // The large page that holds the range's first byte is left alone: the
    // heap keeps its own records just before a block, so that page is in use
    // already and can no longer become a large one. The large page that holds
    // the last byte is asked for whole, or the range's last up to 2 MiB would
    // be filled in ordinary pages; a hint changes how memory is backed, never
    // what it holds, so whatever shares that page past the range loses
    // nothing by it.
    const std::uintptr_t alignedBegin = (first + kLargePageSize - 1) & ~(kLargePageSize - 1);
    const std::uintptr_t alignedEnd = (first + size + kLargePageSize - 1) & ~(kLargePageSize - 1);
    // A refusal (no such support, or a part of the range that is not mapped)
    // leaves the memory as it was, which is all a hint may do.
    static_cast<void>(
        madvise(reinterpret_cast<void*>(alignedBegin), alignedEnd - alignedBegin, MADV_HUGEPAGE));
}
