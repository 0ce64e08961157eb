// The crash-dump filter: offered every thrown exception that escapes the
// relay report, during the search for a handler and before anything is
// unwound, it writes a minidump of the process as the registry settings
// ask.
//
// Settings (32-bit numbers, whatever the value's registry type: a value of
// up to four bytes takes the place of the default's first bytes; a missing
// value, or one longer than four bytes, keeps the default):
//   HKEY_LOCAL_MACHINE\Software\Quorvane  "WriteMiniDumps"  0 turns dumps
//                                          off; default 1
//   HKEY_LOCAL_MACHINE\Software\Quorvane  "MaxDumpFiles"    files kept per
//                                          executable; 0 means no limit, 1
//                                          one file without a number;
//                                          default 5
//   HKEY_CURRENT_USER\Software\Quorvane   "MINIDUMP_TYPE"   the debug help
//                                          library's dump type flags;
//                                          default 0, the normal dump
// Kept by the writer: HKEY_CURRENT_USER\Software\Quorvane\Minidumps, one
// REG_DWORD per executable file name ("Skelvin.exe"), the number of the
// next dump file.
//
// Dumps go to <local application data>\Quorvane\<executable>_<n>.dmp
// (beside the executable for the SYSTEM account), n running from 0 to
// MaxDumpFiles - 1 and then starting again, so the oldest is overwritten.
//
// Nothing here throws, and nothing here reports a failure: a dump that
// cannot be written is simply not written.
#pragma once

#include "platform/exception_record.hpp"

// The size of every path buffer here, terminator included.
inline constexpr std::size_t kDumpPathCapacity = 260;

// True when the record describes a thrown C++ object (code 0xE06D7363, three
// parameters, magic number 0x19930520, a throw information with a list of
// catchable types) none of whose catchable types is NonDumpableException.
// False for everything else, processor faults and exceptions of other
// languages among them.
bool IsDumpableException(const EXCEPTION_POINTERS* exception) noexcept;

// Writes a dump when the exception is dumpable and dumps are enabled, with
// the dump type from "MINIDUMP_TYPE". Answers EXCEPTION_CONTINUE_SEARCH
// whatever happens, so the exception always goes on to the next handler.
LONG CrashDumpFilter(EXCEPTION_POINTERS* exception) noexcept;

// Whether "WriteMiniDumps" allows dumps (true when the key or value is
// missing).
bool MiniDumpsEnabled() noexcept;

// The number of dump files to keep: "MaxDumpFiles", 5 when it cannot be
// read, 4294967295 for a stored 0.
DWORD ReadMaxDumpFiles() noexcept;

// Writes a minidump of the process with the given dump type, holding the
// throwing thread's stack as `exception`'s context shows it, to the next
// dump file. Every failing step ends the attempt without a trace; the dump
// number is used up as soon as it is taken. Returns 0.
LONG WriteMiniDump(EXCEPTION_POINTERS* exception, DWORD dumpType) noexcept;

// The number for this dump of the executable whose file name ends `path`;
// stores (number + 1) modulo `limit` as the next one (a limit of 0 counts as
// 4294967295). The stored number is returned as it is, even when it is not
// below `limit`. Returns 0 and stores nothing when the path does not fit a
// path buffer or the counter key cannot be opened or created.
DWORD NextDumpNumber(const char* path, DWORD limit) noexcept;

// Replaces the extension of `path` (a file name's last '.' and what follows,
// if any) by "_" and `number` in decimal, read as a signed 32-bit number.
// Returns false when the result does not fit; `path` then holds the path
// without its extension.
bool AppendDumpNumber(char (&path)[kDumpPathCapacity], DWORD number) noexcept;
