// A call inside a frame with an exception filter: every thrown exception that
// leaves the call is offered to the filter during the search for a handler,
// while the stack of the throwing code is still intact and before any frame
// is unwound.
#pragma once

#include "platform/exception_record.hpp"

// A filter gets the record of the exception and the throwing thread's
// context. Its answer is not used: the search always continues past the
// filter's frame, as EXCEPTION_CONTINUE_SEARCH asks. It must not throw.
using ExceptionFilter = LONG (*)(EXCEPTION_POINTERS* exception);

// Calls function(argument). When a thrown C++ object leaves it, filter is
// called once, on the throwing thread, with a record of code 0xE06D7363, three
// parameters (0x19930520, the thrown object, its ThrownObjectInformation) and
// the throwing thread's context as captured during the search: taken inside
// the unwinder, below the frames of the throwing code, which are all still
// on the stack above it. The record's ExceptionAddress is that context's
// instruction pointer. Record and context live only as long as the filter
// call. Then the exception goes on to the caller's handlers unchanged.
// Exceptions of other languages are offered with their own code, no
// parameters and the context as well. Processor faults never reach the
// filter. Forced unwinding (thread cancellation) passes without calling it.
void CallWithExceptionFilter(void (*function)(void*), void* argument, ExceptionFilter filter);
