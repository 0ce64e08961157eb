#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>

#include "platform/posix/synchronization_posix.hpp"
#include "platform/posix/win32_api_posix.hpp"

namespace {

struct SectionState {
    std::uint64_t signature;
    // Guards the fields below; held only for the length of one call, never
    // while the section itself is owned.
    std::mutex guard;
    std::condition_variable freed;
    // No thread (the default id) while the section is free.
    std::thread::id owner;
    std::uint64_t entries = 0;
    std::uint64_t waiting = 0;
};

static_assert(sizeof(SectionState) <= sizeof(CRITICAL_SECTION::state));
static_assert(alignof(SectionState) <= alignof(CRITICAL_SECTION));

constexpr std::uint64_t kLiveSection = 0x6E6F697463655376u;

[[noreturn]] void Misuse(const char* call, const char* what) {
    std::fprintf(stderr, "%s: %s\n", call, what);
    std::fflush(stderr);
    std::abort();
}

// The state of a live section; ends the process for any other memory.
SectionState& LiveState(LPCRITICAL_SECTION section, const char* call) {
    auto* state = std::launder(reinterpret_cast<SectionState*>(section->state));
    if (state->signature != kLiveSection) {
        Misuse(call, "the critical section is not initialised");
    }
    return *state;
}

bool EnterIfAvailable(SectionState& state, std::thread::id self) {
    if (state.owner == self) {
        ++state.entries;
        return true;
    }
    if (state.owner == std::thread::id()) {
        state.owner = self;
        state.entries = 1;
        return true;
    }
    return false;
}

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    auto* state = new (lpCriticalSection->state) SectionState();
    state->signature = kLiveSection;
}

void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    SectionState& state = LiveState(lpCriticalSection, "EnterCriticalSection");
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(state.guard);
    if (EnterIfAvailable(state, self)) {
        return;
    }
    ++state.waiting;
    state.freed.wait(guard, [&] { return EnterIfAvailable(state, self); });
    --state.waiting;
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    SectionState& state = LiveState(lpCriticalSection, "TryEnterCriticalSection");
    const std::lock_guard<std::mutex> guard(state.guard);
    return EnterIfAvailable(state, std::this_thread::get_id()) ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    SectionState& state = LiveState(lpCriticalSection, "LeaveCriticalSection");
    const std::lock_guard<std::mutex> guard(state.guard);
    if (state.owner != std::this_thread::get_id()) {
        Misuse("LeaveCriticalSection", "the calling thread does not own the critical section");
    }
    if (--state.entries != 0) {
        return;
    }
    state.owner = std::thread::id();
    // Under the guard: once it is released, a thread that enters, leaves
    // and deletes the section may destroy the condition at once.
    state.freed.notify_one();
}

void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    SectionState& state = LiveState(lpCriticalSection, "DeleteCriticalSection");
    {
        const std::lock_guard<std::mutex> guard(state.guard);
        if (state.owner != std::thread::id() || state.waiting != 0) {
            Misuse("DeleteCriticalSection", "a thread owns or waits for the critical section");
        }
    }
    state.signature = 0;
    state.~SectionState();
}
