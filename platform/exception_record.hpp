// The record of an exception on its way to a handler, as a filter sees it:
// EXCEPTION_RECORD and EXCEPTION_POINTERS with the platform's layout, and
// the description of a thrown C++ object that parameter 2 of such a record
// points to.
#pragma once

#include <cstdint>
#include <typeinfo>

#include "platform/win32_api.hpp"

#ifndef _WIN32
using ULONG_PTR = std::uintptr_t;
using PVOID = void*;

inline constexpr DWORD EXCEPTION_MAXIMUM_PARAMETERS = 15;

struct EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    EXCEPTION_RECORD* ExceptionRecord;
    PVOID ExceptionAddress;
    DWORD NumberParameters;
    ULONG_PTR ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};
using PEXCEPTION_RECORD = EXCEPTION_RECORD*;

// The processor state of the throwing thread; its layout belongs to the
// crash-dump writer of this platform.
struct CONTEXT;
using PCONTEXT = CONTEXT*;

struct EXCEPTION_POINTERS {
    PEXCEPTION_RECORD ExceptionRecord;
    PCONTEXT ContextRecord;
};

inline constexpr LONG EXCEPTION_EXECUTE_HANDLER = 1;
inline constexpr LONG EXCEPTION_CONTINUE_SEARCH = 0;
inline constexpr LONG EXCEPTION_CONTINUE_EXECUTION = -1;
#endif

static_assert(EXCEPTION_CONTINUE_SEARCH == 0 && EXCEPTION_MAXIMUM_PARAMETERS == 15);

// The code, parameter count and magic number under which a thrown C++
// object is recorded.
inline constexpr DWORD kThrownObjectExceptionCode = 0xE06D7363;
inline constexpr DWORD kThrownObjectParameterCount = 3;
inline constexpr ULONG_PTR kThrownObjectMagic = 0x19930520;

// Parameter indexes of a thrown object's record: the magic number, the
// thrown object and its ThrownObjectInformation.
inline constexpr int kThrownObjectMagicParameter = 0;
inline constexpr int kThrownObjectParameter = 1;
inline constexpr int kThrowInformationParameter = 2;

// Every type a thrown object can be caught as: its own type first, then its
// public base classes, each once.
struct CatchableTypeList {
    std::uint32_t count;
    const std::type_info* const* types;
};

// What parameter 2 of a thrown object's record points to.
struct ThrownObjectInformation {
    const CatchableTypeList* catchableTypes;
};
