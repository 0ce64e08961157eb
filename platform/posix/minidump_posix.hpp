// The Linux stand-in for the debug help library's MiniDumpWriteDump and the
// process and thread calls that go with it: the same names, argument lists
// and documented results, writing a real minidump that standard minidump
// tools read.
//
// What a dump holds (every dump type):
// - the header and its stream directory; the header's Flags field holds the
//   requested type bits that the dump honours (see MINIDUMP_TYPE below);
// - SystemInfoStream: processor architecture AMD64 (9) with the processor's
//   family, model and stepping from CPUID, the number of online processors,
//   platform id 0x8201 (Linux), the kernel's release as major.minor.patch
//   and, as the CSD version text, the system name, release, version and
//   machine from uname;
// - ThreadListStream: one thread, the calling one (its kernel thread id),
//   with the exception's context when exception information is given, and
//   otherwise the context of the MiniDumpWriteDump call; its stack memory
//   runs from the context's Rsp to the end of the mapping that holds it, at
//   most kMiniDumpStackLimit bytes. Other threads are not dumped;
// - ModuleListStream: every ELF object the dynamic loader has loaded, the
//   executable first: base and size of its loaded segments, its path (the
//   executable's through /proc/self/exe) and, when it has a GNU build id, a
//   CodeView record 'BpEL' followed by the id's bytes;
// - MemoryListStream: the thread's stack memory (the same bytes, not a
//   copy);
// - ExceptionStream, when exception information is given: the thread id,
//   the record's code, flags, nested record address, address and up to 15
//   parameters, and the thread's context;
// - MiscInfoStream: MINIDUMP_MISC1_PROCESS_ID and the process id;
// - one stream per user stream, with its type and bytes as given.
// Memory that the dump copies (stacks, records, contexts) is read through
// the kernel, so an unreadable address ends the call with a failure instead
// of a fault.
#pragma once

#include <cstddef>

#include "platform/exception_record.hpp"
#include "platform/win32_api.hpp"

using ULONG = std::uint32_t;
using ULONG32 = std::uint32_t;

// What a dump holds beyond the streams listed above. The Linux writer
// honours MiniDumpFilterModulePaths (each module is named by its file name
// alone, without its folders). Every other defined bit is accepted and
// ignored: data segments, full memory, handle data, memory filtering and
// scanning, unloaded modules, indirectly referenced memory, process and
// thread data, private memory, memory and thread information, code
// segments, auxiliary state, token information, module headers, triage
// filtering, AVX state, IPT traces and partial pages are not written;
// MiniDumpWithoutOptionalData and MiniDumpWithoutAuxiliaryState hold for
// every dump already. Bits outside MiniDumpValidTypeFlags are refused.
enum MINIDUMP_TYPE : DWORD {
    MiniDumpNormal = 0x00000000,
    MiniDumpWithDataSegs = 0x00000001,
    MiniDumpWithFullMemory = 0x00000002,
    MiniDumpWithHandleData = 0x00000004,
    MiniDumpFilterMemory = 0x00000008,
    MiniDumpScanMemory = 0x00000010,
    MiniDumpWithUnloadedModules = 0x00000020,
    MiniDumpWithIndirectlyReferencedMemory = 0x00000040,
    MiniDumpFilterModulePaths = 0x00000080,
    MiniDumpWithProcessThreadData = 0x00000100,
    MiniDumpWithPrivateReadWriteMemory = 0x00000200,
    MiniDumpWithoutOptionalData = 0x00000400,
    MiniDumpWithFullMemoryInfo = 0x00000800,
    MiniDumpWithThreadInfo = 0x00001000,
    MiniDumpWithCodeSegs = 0x00002000,
    MiniDumpWithoutAuxiliaryState = 0x00004000,
    MiniDumpWithFullAuxiliaryState = 0x00008000,
    MiniDumpWithPrivateWriteCopyMemory = 0x00010000,
    MiniDumpIgnoreInaccessibleMemory = 0x00020000,
    MiniDumpWithTokenInformation = 0x00040000,
    MiniDumpWithModuleHeaders = 0x00080000,
    MiniDumpFilterTriage = 0x00100000,
    MiniDumpWithAvxXStateContext = 0x00200000,
    MiniDumpWithIptTrace = 0x00400000,
    MiniDumpScanInaccessiblePartialPages = 0x00800000,
    MiniDumpFilterWriteCombinedMemory = 0x01000000,
    MiniDumpValidTypeFlags = 0x01FFFFFF,
};

// The stream types a dump's directory names.
enum MINIDUMP_STREAM_TYPE : ULONG32 {
    UnusedStream = 0,
    ThreadListStream = 3,
    ModuleListStream = 4,
    MemoryListStream = 5,
    ExceptionStream = 6,
    SystemInfoStream = 7,
    CommentStreamA = 10,
    CommentStreamW = 11,
    MiscInfoStream = 15,
    LastReservedStream = 0xFFFF,
};

struct MINIDUMP_EXCEPTION_INFORMATION {
    // The thread that raised the exception.
    DWORD ThreadId;
    PEXCEPTION_POINTERS ExceptionPointers;
    // Whether ExceptionPointers is an address in the dumped process rather
    // than the caller's; the two are the same process here.
    BOOL ClientPointers;
};
using PMINIDUMP_EXCEPTION_INFORMATION = MINIDUMP_EXCEPTION_INFORMATION*;

struct MINIDUMP_USER_STREAM {
    ULONG32 Type;
    ULONG BufferSize;
    PVOID Buffer;
};
using PMINIDUMP_USER_STREAM = MINIDUMP_USER_STREAM*;

struct MINIDUMP_USER_STREAM_INFORMATION {
    ULONG UserStreamCount;
    PMINIDUMP_USER_STREAM UserStreamArray;
};
using PMINIDUMP_USER_STREAM_INFORMATION = MINIDUMP_USER_STREAM_INFORMATION*;

// Callbacks are not offered: their input and output records are left
// undefined.
struct MINIDUMP_CALLBACK_INPUT;
struct MINIDUMP_CALLBACK_OUTPUT;
using MINIDUMP_CALLBACK_ROUTINE = BOOL (*)(PVOID CallbackParam,
                                           MINIDUMP_CALLBACK_INPUT* CallbackInput,
                                           MINIDUMP_CALLBACK_OUTPUT* CallbackOutput);

struct MINIDUMP_CALLBACK_INFORMATION {
    MINIDUMP_CALLBACK_ROUTINE CallbackRoutine;
    PVOID CallbackParam;
};
using PMINIDUMP_CALLBACK_INFORMATION = MINIDUMP_CALLBACK_INFORMATION*;

// The most stack memory a dump keeps of its thread, counted from the stack
// pointer towards the stack's start (the innermost frames).
inline constexpr std::size_t kMiniDumpStackLimit = 256 * 1024;

// The pseudo handle that stands for the calling process: (HANDLE)-1, never
// closed.
HANDLE GetCurrentProcess();

// The process id (getpid).
DWORD GetCurrentProcessId();

// The calling thread's kernel thread id (gettid), as the dump's thread list
// and exception stream name it.
DWORD GetCurrentThreadId();

// Writes a minidump of the calling process to hFile, starting at its file
// pointer (the start of a newly created file); every RVA in the dump counts
// from its header. The dump is assembled in memory and written only when
// complete. Returns TRUE when the whole dump was written. Returns FALSE and
// sets the last error, with nothing written:
// - ERROR_INVALID_HANDLE: hProcess is not GetCurrentProcess(), or hFile
//   carries no open descriptor;
// - ERROR_ACCESS_DENIED: hFile is open for reading only;
// - ERROR_INVALID_PARAMETER: ProcessId is not the calling process's,
//   DumpType has a bit outside MiniDumpValidTypeFlags, ExceptionParam has
//   no ExceptionPointers or no ExceptionRecord, a pointer it holds cannot be
//   read, the user streams or a user stream's buffer cannot be read, or a
//   user stream's type is UnusedStream or the type of another stream of the
//   dump;
// - ERROR_NOT_SUPPORTED: ExceptionParam names another thread than the
//   calling one, or CallbackParam has a CallbackRoutine;
// - ERROR_FILE_TOO_LARGE: the dump would not fit the format's 32-bit
//   offsets.
// When writing the finished dump fails, the last error maps the failure as
// the file calls do (ERROR_DISK_FULL, ERROR_INVALID_HANDLE for a handle not
// open for writing ...), and the file may hold part of the dump. A null
// ContextRecord in the exception pointers is replaced by the context of this
// call. Never throws.
BOOL MiniDumpWriteDump(HANDLE hProcess, DWORD ProcessId, HANDLE hFile, MINIDUMP_TYPE DumpType,
                       PMINIDUMP_EXCEPTION_INFORMATION ExceptionParam,
                       PMINIDUMP_USER_STREAM_INFORMATION UserStreamParam,
                       PMINIDUMP_CALLBACK_INFORMATION CallbackParam);
