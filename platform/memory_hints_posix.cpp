#include "platform/memory_hints.hpp"

#include <sys/mman.h>

#include <cstdint>

namespace {

// The size of a transparent huge page on the processors this build runs on.
constexpr std::uintptr_t kLargePageSize = std::uintptr_t{2} << 20;

}  // namespace

void AskForLargePages(void* begin, std::size_t size) {
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(begin);
    if (size < kLargePageSize || first > UINTPTR_MAX - size) {
        return;
    }
    // madvise wants a page-aligned start; only whole large pages inside the
    // range can be backed by large pages anyway.
    const std::uintptr_t alignedBegin = (first + kLargePageSize - 1) & ~(kLargePageSize - 1);
    const std::uintptr_t alignedEnd = (first + size) & ~(kLargePageSize - 1);
    if (alignedBegin >= alignedEnd) {
        return;
    }
    // A refusal (no such support, or a range the system will not advise)
    // leaves the memory as it was, which is all a hint may do.
    static_cast<void>(
        madvise(reinterpret_cast<void*>(alignedBegin), alignedEnd - alignedBegin, MADV_HUGEPAGE));
}
