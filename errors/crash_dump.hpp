// The crash-dump filter: offered every thrown exception that escapes the
// relay report, during the search for a handler and before anything is
// unwound.
#pragma once

#include "platform/exception_record.hpp"

// True when the record describes a thrown C++ object (code 0xE06D7363, three
// parameters, magic number 0x19930520, a throw information with a list of
// catchable types) none of whose catchable types is NonDumpableException.
// False for everything else, processor faults and exceptions of other
// languages among them. Never throws.
bool IsDumpableException(const EXCEPTION_POINTERS* exception) noexcept;

// Decides whether the exception would be dumped, and answers
// EXCEPTION_CONTINUE_SEARCH whatever happens, so the exception always goes
// on to the next handler. Never throws.
LONG CrashDumpFilter(EXCEPTION_POINTERS* exception) noexcept;
