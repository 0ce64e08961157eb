#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/posix/errno_mapping.hpp"
#include "platform/posix/win32_api_posix.hpp"

using PosixPlatform::SetLastErrorCode;

namespace {

// Every block starts with this header, so that LocalFree can tell its own
// blocks from other memory, as the real local heap does. Its size keeps the
// memory handed out aligned for any type.
struct alignas(std::max_align_t) BlockHeader {
    std::uint64_t signature;
};

constexpr std::uint64_t kLiveBlock = 0x6B636F6C42766C53u;

BlockHeader* HeaderOf(HLOCAL memory) {
    return reinterpret_cast<BlockHeader*>(static_cast<unsigned char*>(memory) -
                                          sizeof(BlockHeader));
}

}  // namespace

HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    if ((uFlags & ~LMEM_ZEROINIT) != LMEM_FIXED) {
        SetLastErrorCode(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (uBytes > SIZE_MAX - sizeof(BlockHeader)) {
        SetLastErrorCode(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const std::size_t total = sizeof(BlockHeader) + uBytes;
    void* block = (uFlags & LMEM_ZEROINIT) != 0 ? std::calloc(1, total) : std::malloc(total);
    if (block == nullptr) {
        SetLastErrorCode(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* header = static_cast<BlockHeader*>(block);
    header->signature = kLiveBlock;
    return header + 1;
}

HLOCAL LocalFree(HLOCAL hMem) {
    if (hMem == nullptr) {
        return nullptr;
    }
    BlockHeader* header = HeaderOf(hMem);
    if (header->signature != kLiveBlock) {
        SetLastErrorCode(ERROR_INVALID_HANDLE);
        return hMem;
    }
    header->signature = 0;
    std::free(header);
    return nullptr;
}
