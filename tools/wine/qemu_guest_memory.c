/*
 * qemu_guest_memory: lets wine's server read and write the memory of wine
 * processes that run under qemu's user-mode emulator.
 *
 * Why
 * ---
 * On a kernel that cannot execute 32-bit programs, wine's 32-bit loader runs
 * under qemu-i386 (see tools/install-dependencies.sh), while the server that
 * wine starts is the native 64-bit one. qemu keeps the emulated 32-bit address
 * space at an offset inside its own process, the guest base: guest address A
 * lives at host address A + base. The base is not 0 wherever the kernel refuses
 * to map page 0 (vm.mmap_min_addr, sandboxed kernels). The server reaches a
 * client's memory through /proc/<pid>/mem and ptrace(PEEKDATA/POKEDATA) at the
 * guest address, so it reads and writes the wrong bytes: ReadProcessMemory,
 * WriteProcessMemory, and with them SymInitialize(..., TRUE) and
 * MiniDumpWriteDump, fail or return zeros.
 *
 * What
 * ----
 * Preloaded into the server, this library adds the target process's guest
 * base to
 *   - the offset of pread/pwrite on a descriptor open on /proc/<pid>/mem or
 *     /proc/<pid>/task/<tid>/mem, and
 *   - the address of ptrace PEEKTEXT, PEEKDATA, POKETEXT and POKEDATA.
 * Every other call goes through untouched.
 *
 * The base is measured per process, not assumed: it is the distance between
 * where a fixed-address 32-bit executable (wine's loader and preloader are
 * such) is mapped in /proc/<pid>/maps and the address its ELF program headers
 * ask for, both read from the process itself. Only private mappings count:
 * wine also maps its loader shared, as plain data, at an arbitrary address. This gives qemu's real
 * base whatever it chose on a given machine (one page here, where page 0 cannot be mapped;
 * something else under another mmap_min_addr or qemu version), and 0 for a process that runs
 * natively, so the library is harmless where no emulation happens. When the executables disagree or
 * none is found the base is taken as 0, which is what the server did without this library.
 *
 * Use
 * ---
 *   LD_PRELOAD="$(bash tools/wine/build-qemu-guest-memory.sh <dir>)" wine ...
 *
 * The server inherits its environment from the wine process that starts it,
 * so the variable has to pass through the emulated 32-bit programs in
 * between. Their dynamic loader would report a 64-bit library as unusable on
 * every start; the script therefore builds this file for 64-bit x86 and an
 * empty 32-bit library beside it, and the variable names them through the
 * loader's $LIB token, which each loader expands to its own directory.
 *
 * check-qemu-guest-memory.sh checks the whole path under wine.
 *
 * Set SKELVIN_GUEST_MEMORY_TRACE=1 to have the library report on standard
 * error every base it measures.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <elf.h>
#include <errno.h>
#include <fcntl.h>
#include <inttypes.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ptrace.h>
#include <sys/types.h>
#include <unistd.h>

typedef ssize_t (*PreadFunction)(int, void*, size_t, off_t);
typedef ssize_t (*PwriteFunction)(int, const void*, size_t, off_t);
typedef long (*PtraceFunction)(enum __ptrace_request, ...);

static PreadFunction realPread;
static PwriteFunction realPwrite;
static PtraceFunction realPtrace;
static bool trace;

/* dlsym returns functions as object pointers; POSIX allows the copy. */
static void NextFunction(const char* name, void* function, size_t size) {
    void* found = dlsym(RTLD_NEXT, name);
    memcpy(function, &found, size);
}

static void ResolveRealFunctions(void) {
    NextFunction("pread", &realPread, sizeof realPread);
    NextFunction("pwrite", &realPwrite, sizeof realPwrite);
    NextFunction("ptrace", &realPtrace, sizeof realPtrace);
    const char* setting = getenv("SKELVIN_GUEST_MEMORY_TRACE");
    trace = setting != NULL && *setting != '\0' && strcmp(setting, "0") != 0;
}

/* Also run on first use, in case another library's constructor calls in first. */
__attribute__((constructor)) static void FindRealFunctions(void) {
    static pthread_once_t resolved = PTHREAD_ONCE_INIT;
    pthread_once(&resolved, ResolveRealFunctions);
}

/* Reads exactly `count` bytes of the process behind `memory` at `address`. */
static bool ReadExactly(int memory, void* buffer, size_t count, uint64_t address) {
    if (address > (uint64_t)INT64_MAX) {
        return false;
    }
    return realPread(memory, buffer, count, (off_t)address) == (ssize_t)count;
}

/*
 * If the mapping at `hostStart`, which maps its file from offset 0, holds a
 * fixed-address 32-bit executable, stores the address the executable asked
 * for its first page.
 */
static bool RequestedAddress(int memory, uint64_t hostStart, uint64_t pageSize,
                             uint64_t* requested) {
    Elf32_Ehdr header;
    if (!ReadExactly(memory, &header, sizeof header, hostStart)) {
        return false;
    }
    if (memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS32 ||
        header.e_type != ET_EXEC || header.e_phentsize != sizeof(Elf32_Phdr) ||
        header.e_phnum == 0 || header.e_phnum > 64) {
        return false;
    }
    Elf32_Phdr segments[64];
    if (!ReadExactly(memory, segments, header.e_phnum * sizeof(Elf32_Phdr),
                     hostStart + header.e_phoff)) {
        return false;
    }
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        const Elf32_Phdr* segment = &segments[i];
        if (segment->p_type == PT_LOAD && segment->p_offset < pageSize &&
            segment->p_vaddr >= segment->p_offset) {
            *requested = (segment->p_vaddr - segment->p_offset) & ~(pageSize - 1);
            return true;
        }
    }
    return false;
}

/*
 * Returns how far above a guest address process `pid` keeps it: 0 for a
 * process that runs natively, and also when the distance cannot be measured.
 */
static uint64_t GuestBase(pid_t pid) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/maps", (int)pid);
    FILE* maps = fopen(path, "re");
    snprintf(path, sizeof path, "/proc/%d/mem", (int)pid);
    int memory = open(path, O_RDONLY | O_CLOEXEC);
    const uint64_t pageSize = (uint64_t)sysconf(_SC_PAGESIZE);
    uint64_t base = 0;
    bool found = false;
    bool consistent = true;
    char* line = NULL;
    size_t lineCapacity = 0;
    while (maps != NULL && memory >= 0 && getline(&line, &lineCapacity, maps) > 0) {
        uint64_t start = 0;
        uint64_t end = 0;
        uint64_t offset = 0;
        char permissions[8];
        int pathStart = 0;
        if (sscanf(line, "%" SCNx64 "-%" SCNx64 " %7s %" SCNx64 " %*s %*s %n", &start, &end,
                   permissions, &offset, &pathStart) != 4 ||
            pathStart == 0 || line[pathStart] != '/' || offset != 0 || permissions[0] != 'r' ||
            permissions[3] != 'p') {
            continue;
        }
        uint64_t requested = 0;
        if (!RequestedAddress(memory, start, pageSize, &requested) || requested > start) {
            continue;
        }
        if (found && base != start - requested) {
            consistent = false;
        }
        base = start - requested;
        found = true;
    }
    free(line);
    if (memory >= 0) {
        close(memory);
    }
    if (maps != NULL) {
        fclose(maps);
    }
    if (!consistent) {
        base = 0;
    }
    if (trace) {
        fprintf(stderr, "qemu_guest_memory: process %d: guest base %#" PRIx64 "%s\n", (int)pid,
                base, consistent ? "" : " (executables disagree; none used)");
    }
    return base;
}

/* Returns the process whose memory `descriptor` is open on, or 0. */
static pid_t MemoryFileProcess(int descriptor) {
    char link[64];
    char target[128];
    snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
    ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0) {
        return 0;
    }
    target[length] = '\0';
    /* /proc/<pid>/mem or /proc/<pid>/task/<tid>/mem */
    if (strncmp(target, "/proc/", 6) != 0) {
        return 0;
    }
    char* rest = NULL;
    long pid = strtol(target + 6, &rest, 10);
    if (pid <= 0 || rest == target + 6) {
        return 0;
    }
    if (strncmp(rest, "/task/", 6) == 0) {
        char* tidEnd = NULL;
        if (strtol(rest + 6, &tidEnd, 10) <= 0 || tidEnd == rest + 6) {
            return 0;
        }
        rest = tidEnd;
    }
    return strcmp(rest, "/mem") == 0 ? (pid_t)pid : 0;
}

static off_t MemoryFileOffset(int descriptor, off_t offset) {
    pid_t pid = MemoryFileProcess(descriptor);
    if (pid == 0 || offset < 0) {
        return offset;
    }
    uint64_t base = GuestBase(pid);
    if (base > (uint64_t)INT64_MAX - (uint64_t)offset) {
        return offset;
    }
    return (off_t)((uint64_t)offset + base);
}

ssize_t pread(int descriptor, void* buffer, size_t count, off_t offset) {
    FindRealFunctions();
    return realPread(descriptor, buffer, count, MemoryFileOffset(descriptor, offset));
}

ssize_t pread64(int descriptor, void* buffer, size_t count, off_t offset) {
    return pread(descriptor, buffer, count, offset);
}

ssize_t pwrite(int descriptor, const void* buffer, size_t count, off_t offset) {
    FindRealFunctions();
    return realPwrite(descriptor, buffer, count, MemoryFileOffset(descriptor, offset));
}

ssize_t pwrite64(int descriptor, const void* buffer, size_t count, off_t offset) {
    return pwrite(descriptor, buffer, count, offset);
}

/*
 * Bases of the processes being peeked or poked, kept while the tracer stays
 * attached: a word-by-word copy would otherwise measure the base once a word.
 * An attach or detach drops the entry, since a pid is only reused after its
 * process has gone, and a tracer must attach again to touch the new one.
 */
enum { kBaseCacheSize = 16 };
static struct {
    pid_t pid;
    uint64_t base;
} baseCache[kBaseCacheSize];
static pthread_mutex_t baseCacheLock = PTHREAD_MUTEX_INITIALIZER;

static void ForgetBase(pid_t pid) {
    pthread_mutex_lock(&baseCacheLock);
    for (int i = 0; i < kBaseCacheSize; ++i) {
        if (baseCache[i].pid == pid) {
            baseCache[i].pid = 0;
        }
    }
    pthread_mutex_unlock(&baseCacheLock);
}

static uint64_t CachedGuestBase(pid_t pid) {
    pthread_mutex_lock(&baseCacheLock);
    for (int i = 0; i < kBaseCacheSize; ++i) {
        if (baseCache[i].pid == pid) {
            uint64_t base = baseCache[i].base;
            pthread_mutex_unlock(&baseCacheLock);
            return base;
        }
    }
    pthread_mutex_unlock(&baseCacheLock);
    uint64_t base = GuestBase(pid);
    pthread_mutex_lock(&baseCacheLock);
    static int next;
    baseCache[next].pid = pid;
    baseCache[next].base = base;
    next = (next + 1) % kBaseCacheSize;
    pthread_mutex_unlock(&baseCacheLock);
    return base;
}

long ptrace(enum __ptrace_request request, ...) {
    va_list arguments;
    va_start(arguments, request);
    pid_t pid = va_arg(arguments, pid_t);
    void* address = va_arg(arguments, void*);
    void* data = va_arg(arguments, void*);
    va_end(arguments);
    FindRealFunctions();

    switch (request) {
        case PTRACE_PEEKTEXT:
        case PTRACE_PEEKDATA:
        case PTRACE_POKETEXT:
        case PTRACE_POKEDATA:
            address = (void*)((uintptr_t)address + (uintptr_t)CachedGuestBase(pid));
            break;
        case PTRACE_ATTACH:
        case PTRACE_SEIZE:
        case PTRACE_DETACH:
            ForgetBase(pid);
            break;
        default:
            break;
    }
    /* A peek that succeeds clears errno, so ESRCH here is a real failure. */
    long result = realPtrace(request, pid, address, data);
    if (result == -1 && errno == ESRCH) {
        ForgetBase(pid);
    }
    return result;
}
