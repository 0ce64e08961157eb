// The Linux stand-in for the Windows critical section: a lock that one thread
// at a time owns, and that its owner may enter again. Each entry needs its
// own leave; the section is free for other threads once the owner has left
// it as often as it entered it. Waiting has no time limit.
//
// Misuse is caught where the section's state shows it, and ends the process
// at once with a line on standard error that names the call (on Windows the
// same misuse leaves the section in an undefined state):
// - entering, leaving or deleting a section that was never initialised or
//   has been deleted (InitializeCriticalSection marks a section as live,
//   DeleteCriticalSection clears the mark, so memory that never held a live
//   section is recognised);
// - leaving a section that the calling thread does not own, more leaves than
//   entries among it;
// - deleting a section that a thread owns or waits for.
// Not caught: initialising a section again while it is in use (its state is
// lost, as on Windows), and a thread that ends while it owns a section
// (others then wait for ever, as on Windows). A CRITICAL_SECTION must not be
// copied or moved once initialised.
#pragma once

#include <cstddef>

#include "platform/posix/win32_api_posix.hpp"

// Storage for the section's state, which only the calls below touch.
struct CRITICAL_SECTION {
    alignas(std::max_align_t) unsigned char state[160];
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
using PCRITICAL_SECTION = CRITICAL_SECTION*;

// Makes the section live and free. Never fails.
void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// Waits until the section is free or owned by the calling thread, then
// enters it.
void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// Enters the section when it is free or owned by the calling thread and
// returns nonzero; returns 0 without waiting when another thread owns it.
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// Undoes one entry by the owning thread; the last one frees the section and
// wakes one waiting thread.
void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// Releases a free section; it is no longer live afterwards.
void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
