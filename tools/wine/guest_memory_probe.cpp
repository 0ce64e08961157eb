// Checks that ReadProcessMemory and WriteProcessMemory reach the right bytes,
// in this process and in a child, and that a minidump of this process can be
// written. Under wine every such call goes through wine's server, which is
// what qemu_guest_memory.c corrects when wine runs under emulation; see
// check-qemu-guest-memory.sh. Prints one line per failed case and exits with
// the number of failures.
#include <windows.h>
// windows.h first: dbghelp.h needs its types.
#include <dbghelp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The child gets a different pattern from its command line, so that a read
// of the child that lands in the parent by mistake is caught.
unsigned char pattern[3 * 4096 + 7];
volatile LONG childDone;

void FillPattern(unsigned char seed) {
    for (size_t i = 0; i < sizeof pattern; ++i) {
        pattern[i] = static_cast<unsigned char>(seed + i * 7 + (i >> 8));
    }
}

unsigned char ExpectedByte(unsigned char seed, size_t index) {
    return static_cast<unsigned char>(seed + index * 7 + (index >> 8));
}

// Offsets and sizes chosen to take both of the server's ways of copying:
// word by word for small unaligned pieces, whole blocks for large ones, and
// pieces that cross a word and a page boundary.
struct Piece {
    const char* name;
    size_t offset;
    size_t size;
};
constexpr Piece kPieces[] = {
    {"one byte at an odd address", 1, 1},
    {"three bytes across a word", 6, 3},
    {"a word, aligned", 16, 4},
    {"across a page boundary", 4096 - 5, 11},
    {"three pages and a bit, unaligned", 3, 3 * 4096 + 3},
};

int failures = 0;

void Fail(const char* what, const char* piece, DWORD error) {
    std::printf("FAIL %s: %s (error %lu)\n", what, piece, error);
    std::fflush(stdout);
    ++failures;
}

void CheckRead(HANDLE process, unsigned char seed, const char* who) {
    for (const Piece& piece : kPieces) {
        unsigned char buffer[sizeof pattern];
        std::memset(buffer, 0xCC, sizeof buffer);
        SIZE_T done = 0;
        char what[64];
        std::snprintf(what, sizeof what, "read of %s", who);
        if (!ReadProcessMemory(process, pattern + piece.offset, buffer, piece.size, &done) ||
            done != piece.size) {
            Fail(what, piece.name, GetLastError());
            continue;
        }
        for (size_t i = 0; i < piece.size; ++i) {
            if (buffer[i] != ExpectedByte(seed, piece.offset + i)) {
                Fail(what, piece.name, 0);
                break;
            }
        }
    }
}

// Writes the complement of each piece and reads it back through the same
// path; the child checks the final contents itself.
void CheckWrite(HANDLE process, unsigned char seed, const char* who) {
    for (const Piece& piece : kPieces) {
        unsigned char buffer[sizeof pattern];
        for (size_t i = 0; i < piece.size; ++i) {
            buffer[i] = static_cast<unsigned char>(~ExpectedByte(seed, piece.offset + i));
        }
        char what[64];
        std::snprintf(what, sizeof what, "write to %s", who);
        SIZE_T done = 0;
        if (!WriteProcessMemory(process, pattern + piece.offset, buffer, piece.size, &done) ||
            done != piece.size) {
            Fail(what, piece.name, GetLastError());
            continue;
        }
        unsigned char back[sizeof pattern];
        if (!ReadProcessMemory(process, pattern + piece.offset, back, piece.size, &done) ||
            std::memcmp(back, buffer, piece.size) != 0) {
            Fail(what, piece.name, GetLastError());
        }
    }
}

bool WrittenBackComplemented(unsigned char seed) {
    for (const Piece& piece : kPieces) {
        for (size_t i = 0; i < piece.size; ++i) {
            if (pattern[piece.offset + i] !=
                static_cast<unsigned char>(~ExpectedByte(seed, piece.offset + i))) {
                return false;
            }
        }
    }
    return true;
}

void CheckMinidump() {
    HANDLE file = CreateFileA("guest_memory_probe.dmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Fail("minidump", "cannot create guest_memory_probe.dmp", GetLastError());
        return;
    }
    // The dump needs no symbols; loading them all runs a 32-bit process under
    // emulation out of address space.
    SymSetOptions(SymGetOptions() | SYMOPT_DEFERRED_LOADS);
    // Wine's RtlCaptureContext follows the caller's frame pointer, so this
    // file is built with frame pointers (see the check script).
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_BREAKPOINT;
    record.ExceptionAddress = reinterpret_cast<void*>(context.Eip);
    EXCEPTION_POINTERS pointers{&record, &context};
    MINIDUMP_EXCEPTION_INFORMATION exception{GetCurrentThreadId(), &pointers, FALSE};
    if (!MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal,
                           &exception, nullptr, nullptr)) {
        Fail("minidump", "MiniDumpWriteDump", GetLastError());
    }
    CloseHandle(file);
}

// The child shows its pattern, waits until the parent has rewritten it and
// reports through its exit code whether the rewrite arrived.
int RunChild(unsigned char seed, HANDLE ready, HANDLE written) {
    FillPattern(seed);
    SetEvent(ready);
    if (WaitForSingleObject(written, 60000) != WAIT_OBJECT_0) {
        return 2;
    }
    return WrittenBackComplemented(seed) ? 0 : 1;
}

void CheckChild() {
    char program[MAX_PATH];
    if (GetModuleFileNameA(nullptr, program, sizeof program) == 0) {
        Fail("child", "GetModuleFileName", GetLastError());
        return;
    }
    constexpr unsigned char childSeed = 0x5A;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE ready = CreateEventA(&inherit, TRUE, FALSE, nullptr);
    HANDLE written = CreateEventA(&inherit, TRUE, FALSE, nullptr);
    char commandLine[512];
    std::snprintf(commandLine, sizeof commandLine, "\"%s\" child %u %lu %lu", program, childSeed,
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(ready)),
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(written)));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &child)) {
        Fail("child", "CreateProcess", GetLastError());
        return;
    }
    if (WaitForSingleObject(ready, 60000) != WAIT_OBJECT_0) {
        Fail("child", "never became ready", GetLastError());
    } else {
        CheckRead(child.hProcess, childSeed, "the child");
        CheckWrite(child.hProcess, childSeed, "the child");
    }
    SetEvent(written);
    WaitForSingleObject(child.hProcess, 60000);
    DWORD code = 3;
    GetExitCodeProcess(child.hProcess, &code);
    if (code != 0) {
        Fail("child", "did not see the parent's writes", code);
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CloseHandle(ready);
    CloseHandle(written);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "child") == 0) {
        auto handle = [](const char* text) {
            return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(std::strtoul(text, nullptr, 10)));
        };
        return RunChild(static_cast<unsigned char>(std::strtoul(argv[2], nullptr, 10)),
                        handle(argv[3]), handle(argv[4]));
    }
    constexpr unsigned char ownSeed = 0x13;
    FillPattern(ownSeed);
    CheckRead(GetCurrentProcess(), ownSeed, "this process");
    CheckWrite(GetCurrentProcess(), ownSeed, "this process");
    CheckChild();
    CheckMinidump();
    std::printf("%s\n", failures == 0 ? "guest memory: all cases passed" : "guest memory: FAILED");
    return failures;
}
