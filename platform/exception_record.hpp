// The record of an exception on its way to a handler, as a filter sees it:
// EXCEPTION_RECORD and EXCEPTION_POINTERS with the platform's layout, and
// the description of a thrown C++ object that parameter 2 of such a record
// points to.
#pragma once

#include <cstddef>
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

using WORD = std::uint16_t;
using DWORD64 = std::uint64_t;

#if defined(__x86_64__)
// The processor state of a thread, laid out as the minidump format's AMD64
// context record (which is the platform's own x64 CONTEXT), so that a crash
// dump can store it byte for byte.
struct alignas(16) M128A {
    DWORD64 Low;
    std::int64_t High;
};

// The FXSAVE image of the x87, MMX and SSE state.
struct alignas(16) XMM_SAVE_AREA32 {
    WORD ControlWord;
    WORD StatusWord;
    BYTE TagWord;
    BYTE Reserved1;
    WORD ErrorOpcode;
    DWORD ErrorOffset;
    WORD ErrorSelector;
    WORD Reserved2;
    DWORD DataOffset;
    WORD DataSelector;
    WORD Reserved3;
    DWORD MxCsr;
    DWORD MxCsr_Mask;
    M128A FloatRegisters[8];
    M128A XmmRegisters[16];
    BYTE Reserved4[96];
};

struct alignas(16) CONTEXT {
    DWORD64 P1Home;
    DWORD64 P2Home;
    DWORD64 P3Home;
    DWORD64 P4Home;
    DWORD64 P5Home;
    DWORD64 P6Home;
    // Which of the groups below hold values (CONTEXT_CONTROL ...).
    DWORD ContextFlags;
    DWORD MxCsr;
    WORD SegCs;
    WORD SegDs;
    WORD SegEs;
    WORD SegFs;
    WORD SegGs;
    WORD SegSs;
    DWORD EFlags;
    DWORD64 Dr0;
    DWORD64 Dr1;
    DWORD64 Dr2;
    DWORD64 Dr3;
    DWORD64 Dr6;
    DWORD64 Dr7;
    DWORD64 Rax;
    DWORD64 Rcx;
    DWORD64 Rdx;
    DWORD64 Rbx;
    DWORD64 Rsp;
    DWORD64 Rbp;
    DWORD64 Rsi;
    DWORD64 Rdi;
    DWORD64 R8;
    DWORD64 R9;
    DWORD64 R10;
    DWORD64 R11;
    DWORD64 R12;
    DWORD64 R13;
    DWORD64 R14;
    DWORD64 R15;
    DWORD64 Rip;
    XMM_SAVE_AREA32 FltSave;
    M128A VectorRegister[26];
    DWORD64 VectorControl;
    DWORD64 DebugControl;
    DWORD64 LastBranchToRip;
    DWORD64 LastBranchFromRip;
    DWORD64 LastExceptionToRip;
    DWORD64 LastExceptionFromRip;
};

static_assert(sizeof(XMM_SAVE_AREA32) == 512);
static_assert(sizeof(CONTEXT) == 1232 && alignof(CONTEXT) == 16);
static_assert(offsetof(CONTEXT, ContextFlags) == 48 && offsetof(CONTEXT, SegCs) == 56 &&
              offsetof(CONTEXT, EFlags) == 68 && offsetof(CONTEXT, Dr0) == 72 &&
              offsetof(CONTEXT, Rax) == 120 && offsetof(CONTEXT, Rsp) == 152 &&
              offsetof(CONTEXT, R15) == 240 && offsetof(CONTEXT, Rip) == 248 &&
              offsetof(CONTEXT, FltSave) == 256 && offsetof(CONTEXT, VectorRegister) == 768 &&
              offsetof(CONTEXT, VectorControl) == 1184 &&
              offsetof(CONTEXT, LastExceptionFromRip) == 1224);

// ContextFlags: the processor kind in the high bits, one bit per group.
inline constexpr DWORD CONTEXT_AMD64 = 0x00100000;
inline constexpr DWORD CONTEXT_CONTROL = CONTEXT_AMD64 | 0x01;  // SegCs, SegSs, Rsp, Rip, EFlags
inline constexpr DWORD CONTEXT_INTEGER = CONTEXT_AMD64 | 0x02;  // the other general registers
inline constexpr DWORD CONTEXT_SEGMENTS = CONTEXT_AMD64 | 0x04;
inline constexpr DWORD CONTEXT_FLOATING_POINT = CONTEXT_AMD64 | 0x08;  // MxCsr, FltSave
inline constexpr DWORD CONTEXT_DEBUG_REGISTERS = CONTEXT_AMD64 | 0x10;
inline constexpr DWORD CONTEXT_FULL = CONTEXT_CONTROL | CONTEXT_INTEGER | CONTEXT_FLOATING_POINT;
#else
#error "CONTEXT has no layout for this processor"
#endif
using PCONTEXT = CONTEXT*;

// Fills the context with the caller's registers as they are when this call
// returns: Rip is the return address, Rsp the caller's stack pointer after
// the return, and every callee-saved register holds the caller's value.
// Sets ContextFlags to CONTEXT_FULL | CONTEXT_SEGMENTS and leaves the debug
// registers and the vector area as they were. The context must be 16-byte
// aligned (every CONTEXT object is). Never fails.
extern "C" void RtlCaptureContext(PCONTEXT ContextRecord);

struct EXCEPTION_POINTERS {
    PEXCEPTION_RECORD ExceptionRecord;
    PCONTEXT ContextRecord;
};
using PEXCEPTION_POINTERS = EXCEPTION_POINTERS*;

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
