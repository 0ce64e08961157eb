// How the Linux stand-ins carry an open file descriptor in a HANDLE: the
// descriptor plus one, so that no valid handle is null. Shared by every
// stand-in that takes a file handle.
#pragma once

#include <climits>
#include <cstdint>

#include "platform/win32_api.hpp"

namespace PosixPlatform {

inline HANDLE HandleOf(int descriptor) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(descriptor) + 1);
}

// The descriptor a handle carries, or -1 for a handle that cannot carry one
// (null, INVALID_HANDLE_VALUE, anything made up beyond the descriptor range).
inline int DescriptorOf(HANDLE handle) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value == 0 || value - 1 > static_cast<std::uintptr_t>(INT_MAX)) {
        return -1;
    }
    return static_cast<int>(value - 1);
}

}  // namespace PosixPlatform
