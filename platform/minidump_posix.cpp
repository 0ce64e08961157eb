#include "platform/posix/minidump_posix.hpp"

#include <cpuid.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <sys/uio.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/errno_mapping.hpp"
#include "platform/posix/file_handles.hpp"

using PosixPlatform::SetLastErrorCode;

// System V AMD64: the context's address arrives in rdi. The offsets are the
// ones that exception_record.hpp pins with static_asserts. Rip and Rsp are
// taken from the return address and the stack pointer above it, so the
// context describes the caller as it resumes; FXSAVE needs the 16-byte
// alignment that every CONTEXT has.
asm(R"(
    .text
    .p2align 4
    .globl RtlCaptureContext
    .hidden RtlCaptureContext
    .type RtlCaptureContext, @function
RtlCaptureContext:
    .cfi_startproc
    movq %rax, 120(%rdi)
    movq %rcx, 128(%rdi)
    movq %rdx, 136(%rdi)
    movq %rbx, 144(%rdi)
    movq %rbp, 160(%rdi)
    movq %rsi, 168(%rdi)
    movq %rdi, 176(%rdi)
    movq %r8, 184(%rdi)
    movq %r9, 192(%rdi)
    movq %r10, 200(%rdi)
    movq %r11, 208(%rdi)
    movq %r12, 216(%rdi)
    movq %r13, 224(%rdi)
    movq %r14, 232(%rdi)
    movq %r15, 240(%rdi)
    movw %cs, 56(%rdi)
    movw %ds, 58(%rdi)
    movw %es, 60(%rdi)
    movw %fs, 62(%rdi)
    movw %gs, 64(%rdi)
    movw %ss, 66(%rdi)
    pushfq
    .cfi_adjust_cfa_offset 8
    popq %rax
    .cfi_adjust_cfa_offset -8
    movl %eax, 68(%rdi)
    leaq 8(%rsp), %rax
    movq %rax, 152(%rdi)
    movq (%rsp), %rax
    movq %rax, 248(%rdi)
    fxsave64 256(%rdi)
    stmxcsr 52(%rdi)
    movl $0x10000F, 48(%rdi)
    ret
    .cfi_endproc
    .size RtlCaptureContext, .-RtlCaptureContext
)");

static_assert((CONTEXT_FULL | CONTEXT_SEGMENTS) == 0x10000F,
              "the flags that RtlCaptureContext stores");

namespace {

static_assert(std::endian::native == std::endian::little,
              "dump records are written in memory order and must be little-endian");

// The records of the file, laid out as the format has them: 4-byte packing,
// so the 64-bit fields that follow an odd number of 32-bit ones stay where
// the format puts them.
#pragma pack(push, 4)

struct MINIDUMP_LOCATION_DESCRIPTOR {
    ULONG32 DataSize;
    ULONG32 Rva;
};

struct MINIDUMP_MEMORY_DESCRIPTOR {
    std::uint64_t StartOfMemoryRange;
    MINIDUMP_LOCATION_DESCRIPTOR Memory;
};

struct MINIDUMP_HEADER {
    ULONG32 Signature;
    ULONG32 Version;
    ULONG32 NumberOfStreams;
    ULONG32 StreamDirectoryRva;
    ULONG32 CheckSum;
    ULONG32 TimeDateStamp;
    std::uint64_t Flags;
};

struct MINIDUMP_DIRECTORY {
    ULONG32 StreamType;
    MINIDUMP_LOCATION_DESCRIPTOR Location;
};

struct MINIDUMP_THREAD {
    ULONG32 ThreadId;
    ULONG32 SuspendCount;
    ULONG32 PriorityClass;
    ULONG32 Priority;
    std::uint64_t Teb;
    MINIDUMP_MEMORY_DESCRIPTOR Stack;
    MINIDUMP_LOCATION_DESCRIPTOR ThreadContext;
};

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

struct MINIDUMP_MODULE {
    std::uint64_t BaseOfImage;
    ULONG32 SizeOfImage;
    ULONG32 CheckSum;
    ULONG32 TimeDateStamp;
    ULONG32 ModuleNameRva;
    VS_FIXEDFILEINFO VersionInfo;
    MINIDUMP_LOCATION_DESCRIPTOR CvRecord;
    MINIDUMP_LOCATION_DESCRIPTOR MiscRecord;
    std::uint64_t Reserved0;
    std::uint64_t Reserved1;
};

struct MINIDUMP_EXCEPTION {
    ULONG32 ExceptionCode;
    ULONG32 ExceptionFlags;
    std::uint64_t ExceptionRecord;
    std::uint64_t ExceptionAddress;
    ULONG32 NumberParameters;
    ULONG32 UnusedAlignment;
    std::uint64_t ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};

struct MINIDUMP_EXCEPTION_STREAM {
    ULONG32 ThreadId;
    ULONG32 Alignment;
    MINIDUMP_EXCEPTION ExceptionRecord;
    MINIDUMP_LOCATION_DESCRIPTOR ThreadContext;
};

// The x86 form of the processor information.
struct CPU_INFORMATION {
    ULONG32 VendorId[3];
    ULONG32 VersionInformation;
    ULONG32 FeatureInformation;
    ULONG32 AMDExtendedCpuFeatures;
};

struct MINIDUMP_SYSTEM_INFO {
    std::uint16_t ProcessorArchitecture;
    std::uint16_t ProcessorLevel;
    std::uint16_t ProcessorRevision;
    std::uint8_t NumberOfProcessors;
    std::uint8_t ProductType;
    ULONG32 MajorVersion;
    ULONG32 MinorVersion;
    ULONG32 BuildNumber;
    ULONG32 PlatformId;
    ULONG32 CSDVersionRva;
    std::uint16_t SuiteMask;
    std::uint16_t Reserved2;
    CPU_INFORMATION Cpu;
};

struct MINIDUMP_MISC_INFO {
    ULONG32 SizeOfInfo;
    ULONG32 Flags1;
    ULONG32 ProcessId;
    ULONG32 ProcessCreateTime;
    ULONG32 ProcessUserTime;
    ULONG32 ProcessKernelTime;
};

#pragma pack(pop)

static_assert(sizeof(MINIDUMP_LOCATION_DESCRIPTOR) == 8);
static_assert(sizeof(MINIDUMP_MEMORY_DESCRIPTOR) == 16);
static_assert(sizeof(MINIDUMP_HEADER) == 32);
static_assert(sizeof(MINIDUMP_DIRECTORY) == 12);
static_assert(sizeof(MINIDUMP_THREAD) == 48);
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);
static_assert(sizeof(MINIDUMP_MODULE) == 108 && offsetof(MINIDUMP_MODULE, ModuleNameRva) == 20 &&
              offsetof(MINIDUMP_MODULE, CvRecord) == 76 &&
              offsetof(MINIDUMP_MODULE, Reserved0) == 92);
static_assert(sizeof(MINIDUMP_EXCEPTION) == 152);
static_assert(sizeof(MINIDUMP_EXCEPTION_STREAM) == 168);
static_assert(sizeof(CPU_INFORMATION) == 24);
static_assert(sizeof(MINIDUMP_SYSTEM_INFO) == 56 &&
              offsetof(MINIDUMP_SYSTEM_INFO, PlatformId) == 20 &&
              offsetof(MINIDUMP_SYSTEM_INFO, Cpu) == 32);
static_assert(sizeof(MINIDUMP_MISC_INFO) == 24);

constexpr ULONG32 kMinidumpSignature = 0x504D444D;  // "MDMP"
constexpr ULONG32 kMinidumpVersion = 0xA793;
constexpr std::uint16_t kProcessorArchitectureAmd64 = 9;
// The platform id that minidump readers take for Linux.
constexpr ULONG32 kPlatformIdLinux = 0x8201;
constexpr ULONG32 kMiscProcessId = 0x00000001;  // MINIDUMP_MISC1_PROCESS_ID
// A CodeView record that carries an ELF object's build id: this signature
// ('BpEL'), then the id's bytes.
constexpr ULONG32 kCodeViewElfSignature = 0x4270454C;
constexpr char kGnuNoteName[] = "GNU";

// The type bits this writer acts upon; the others are accepted and ignored.
constexpr DWORD kHonouredTypeFlags = MiniDumpFilterModulePaths;

const HANDLE kCurrentProcessHandle = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

// A failure that ends the dump: the Windows error code it leaves.
struct DumpFailure {
    DWORD code;
};

using PosixPlatform::DescriptorOf;

std::size_t ReadThroughProcMem(std::uint64_t address, char* into, std::size_t size) {
    int descriptor;
    do {
        descriptor = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < size && address + done <= static_cast<std::uint64_t>(LLONG_MAX)) {
        const ssize_t got =
            ::pread(descriptor, into + done, size - done, static_cast<off_t>(address + done));
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(descriptor);
    return done;
}

// Copies what can be read of [address, address + size) from this process's
// memory, from the start; returns how many bytes were copied. The kernel
// does the reading, so an unmapped or protected page ends the copy instead
// of faulting, and memory that a sanitizer has poisoned reads as it is.
std::size_t ReadOwnMemory(std::uint64_t address, void* into, std::size_t size) {
    if (size == 0 || address == 0 || address > std::numeric_limits<std::uint64_t>::max() - size) {
        return 0;
    }
    char* const target = static_cast<char*>(into);
    std::size_t done = 0;
    while (done < size) {
        iovec local{target + done, size - done};
        iovec remote{reinterpret_cast<void*>(static_cast<std::uintptr_t>(address + done)),
                     size - done};
        const ssize_t got = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && (errno == ENOSYS || errno == EPERM)) {
            // Some sandboxes forbid the call; the memory file reads the same.
            return done + ReadThroughProcMem(address + done, target + done, size - done);
        } else {
            break;
        }
    }
    return done;
}

template <typename Record>
void ReadWhole(const void* address, Record& record) {
    if (ReadOwnMemory(reinterpret_cast<std::uintptr_t>(address), &record, sizeof record) !=
        sizeof record) {
        throw DumpFailure{ERROR_INVALID_PARAMETER};
    }
}

std::string ReadProcFile(const char* path) {
    int descriptor;
    do {
        descriptor = ::open(path, O_RDONLY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    std::string text;
    if (descriptor < 0) {
        return text;
    }
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(descriptor, chunk, sizeof chunk);
        if (got > 0) {
            text.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(descriptor);
    return text;
}

// The end of the mapping that holds `address`, from /proc/self/maps; 0 when
// no mapping holds it.
std::uint64_t MappingEnd(std::uint64_t address) {
    const std::string maps = ReadProcFile("/proc/self/maps");
    std::size_t line = 0;
    while (line < maps.size()) {
        std::size_t next = maps.find('\n', line);
        if (next == std::string::npos) {
            next = maps.size();
        }
        // "start-end perms offset device inode path", addresses in hex.
        const std::string entry = maps.substr(line, next - line);
        char* after = nullptr;
        const std::uint64_t start = std::strtoull(entry.c_str(), &after, 16);
        if (after != nullptr && *after == '-') {
            const std::uint64_t end = std::strtoull(after + 1, nullptr, 16);
            if (start <= address && address < end) {
                return end;
            }
        }
        line = next + 1;
    }
    return 0;
}

std::string ExecutablePath() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

// UTF-8 to UTF-16; a byte that does not start a valid sequence becomes
// U+FFFD, so any path gives some name.
std::u16string Utf16Of(std::string_view text) {
    std::u16string result;
    std::size_t index = 0;
    while (index < text.size()) {
        const auto lead = static_cast<unsigned char>(text[index]);
        std::size_t length = 0;
        char32_t point = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            length = 1;
            point = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            point = lead & 0x1F;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            point = lead & 0x0F;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            point = lead & 0x07;
            least = 0x10000;
        }
        bool valid = length != 0 && index + length <= text.size();
        for (std::size_t offset = 1; valid && offset < length; ++offset) {
            const auto follower = static_cast<unsigned char>(text[index + offset]);
            valid = (follower & 0xC0) == 0x80;
            point = (point << 6) | (follower & 0x3F);
        }
        valid = valid && point >= least && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
        if (!valid) {
            result.push_back(u'\uFFFD');
            ++index;
            continue;
        }
        if (point >= 0x10000) {
            point -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
        } else {
            result.push_back(static_cast<char16_t>(point));
        }
        index += length;
    }
    return result;
}

// The dump as it is assembled: every part is appended at an aligned offset,
// and the offsets (RVAs) of the format are 32-bit.
class DumpImage {
  public:
    ULONG32 Append(const void* data, std::size_t size, std::size_t alignment) {
        const std::size_t start = (bytes.size() + alignment - 1) / alignment * alignment;
        if (start + size > std::numeric_limits<ULONG32>::max()) {
            throw DumpFailure{ERROR_FILE_TOO_LARGE};
        }
        bytes.resize(start + size);
        if (size != 0) {
            std::memcpy(bytes.data() + start, data, size);
        }
        return static_cast<ULONG32>(start);
    }

    template <typename Record>
    ULONG32 AppendRecord(const Record& record, std::size_t alignment = 4) {
        return Append(&record, sizeof record, alignment);
    }

    MINIDUMP_LOCATION_DESCRIPTOR AppendBlock(const void* data, std::size_t size,
                                             std::size_t alignment) {
        const ULONG32 rva = Append(data, size, alignment);
        return {static_cast<ULONG32>(size), rva};
    }

    // A MINIDUMP_STRING: its length in bytes, then UTF-16 text and a
    // terminator that the length leaves out.
    ULONG32 AppendString(std::string_view text) {
        const std::u16string units = Utf16Of(text);
        const auto length = static_cast<ULONG32>(units.size() * sizeof(char16_t));
        const ULONG32 rva = AppendRecord(length);
        Append(units.c_str(), (units.size() + 1) * sizeof(char16_t), 1);
        return rva;
    }

    template <typename Record>
    void Overwrite(ULONG32 rva, const Record& record) {
        std::memcpy(bytes.data() + rva, &record, sizeof record);
    }

    const std::vector<std::uint8_t>& Bytes() const { return bytes; }

  private:
    std::vector<std::uint8_t> bytes;
};

struct LoadedModule {
    std::uint64_t base = 0;
    std::uint64_t size = 0;
    std::string path;
    std::vector<std::uint8_t> buildId;
};

struct ModuleSearch {
    std::vector<LoadedModule> modules;
    bool failed = false;
};

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// The GNU build id among the notes of one PT_NOTE segment, if any.
std::vector<std::uint8_t> BuildIdIn(const std::vector<std::uint8_t>& notes,
                                    std::uint64_t alignment) {
    std::uint64_t offset = 0;
    while (offset + sizeof(ElfW(Nhdr)) <= notes.size()) {
        ElfW(Nhdr) header;
        std::memcpy(&header, notes.data() + offset, sizeof header);
        const std::uint64_t nameOffset = offset + sizeof header;
        const std::uint64_t descriptionOffset = AlignUp(nameOffset + header.n_namesz, alignment);
        const std::uint64_t end = AlignUp(descriptionOffset + header.n_descsz, alignment);
        if (descriptionOffset + header.n_descsz > notes.size()) {
            break;
        }
        if (header.n_type == NT_GNU_BUILD_ID && header.n_namesz == sizeof kGnuNoteName &&
            std::memcmp(notes.data() + nameOffset, kGnuNoteName, sizeof kGnuNoteName) == 0) {
            return {notes.begin() + static_cast<std::ptrdiff_t>(descriptionOffset),
                    notes.begin() + static_cast<std::ptrdiff_t>(descriptionOffset) +
                        static_cast<std::ptrdiff_t>(header.n_descsz)};
        }
        offset = end;
    }
    return {};
}

int CollectModule(dl_phdr_info* info, std::size_t, void* data) {
    auto& search = *static_cast<ModuleSearch*>(data);
    try {
        const std::uint64_t pageSize = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
        std::uint64_t lowest = std::numeric_limits<std::uint64_t>::max();
        std::uint64_t highest = 0;
        for (ElfW(Half) index = 0; index < info->dlpi_phnum; ++index) {
            const ElfW(Phdr)& segment = info->dlpi_phdr[index];
            if (segment.p_type == PT_LOAD) {
                lowest = std::min<std::uint64_t>(lowest, segment.p_vaddr / pageSize * pageSize);
                highest = std::max<std::uint64_t>(highest, segment.p_vaddr + segment.p_memsz);
            }
        }
        if (highest == 0) {
            return 0;
        }
        LoadedModule module;
        module.base = info->dlpi_addr + lowest;
        module.size = AlignUp(highest, pageSize) - lowest;
        // The executable is the object the loader gives no name.
        module.path = info->dlpi_name != nullptr && info->dlpi_name[0] != '\0' ? info->dlpi_name
                                                                               : ExecutablePath();
        for (ElfW(Half) index = 0; index < info->dlpi_phnum && module.buildId.empty(); ++index) {
            const ElfW(Phdr)& segment = info->dlpi_phdr[index];
            if (segment.p_type != PT_NOTE || segment.p_memsz == 0) {
                continue;
            }
            // A note segment outside every loaded segment is not in memory;
            // the safe copy finds that out.
            std::vector<std::uint8_t> notes(segment.p_memsz);
            notes.resize(
                ReadOwnMemory(info->dlpi_addr + segment.p_vaddr, notes.data(), notes.size()));
            module.buildId = BuildIdIn(notes, segment.p_align == 8 ? 8 : 4);
        }
        search.modules.push_back(std::move(module));
        return 0;
    } catch (...) {
        search.failed = true;
        return 1;
    }
}

std::string_view FileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

MINIDUMP_LOCATION_DESCRIPTOR AppendModuleList(DumpImage& image, DWORD dumpType) {
    ModuleSearch search;
    ::dl_iterate_phdr(CollectModule, &search);
    if (search.failed) {
        throw std::bad_alloc();
    }
    std::vector<MINIDUMP_MODULE> records;
    for (const LoadedModule& module : search.modules) {
        MINIDUMP_MODULE record{};
        record.BaseOfImage = module.base;
        record.SizeOfImage = static_cast<ULONG32>(
            std::min<std::uint64_t>(module.size, std::numeric_limits<ULONG32>::max()));
        record.ModuleNameRva = image.AppendString((dumpType & MiniDumpFilterModulePaths) != 0
                                                      ? FileNameOf(module.path)
                                                      : std::string_view(module.path));
        if (!module.buildId.empty()) {
            std::vector<std::uint8_t> codeView(sizeof kCodeViewElfSignature);
            std::memcpy(codeView.data(), &kCodeViewElfSignature, sizeof kCodeViewElfSignature);
            codeView.insert(codeView.end(), module.buildId.begin(), module.buildId.end());
            record.CvRecord = image.AppendBlock(codeView.data(), codeView.size(), 4);
        }
        records.push_back(record);
    }
    const auto count = static_cast<ULONG32>(records.size());
    const ULONG32 rva = image.AppendRecord(count);
    image.Append(records.data(), records.size() * sizeof(MINIDUMP_MODULE), 4);
    return {static_cast<ULONG32>(sizeof count + records.size() * sizeof(MINIDUMP_MODULE)), rva};
}

// The first numbers of a kernel release such as "6.1.0-18-amd64".
void ParseRelease(const char* release, ULONG32 (&numbers)[3]) {
    const char* cursor = release;
    for (ULONG32& number : numbers) {
        char* after = nullptr;
        const unsigned long value = std::strtoul(cursor, &after, 10);
        if (after == cursor) {
            return;
        }
        number = static_cast<ULONG32>(value);
        if (*after != '.') {
            return;
        }
        cursor = after + 1;
    }
}

MINIDUMP_LOCATION_DESCRIPTOR AppendSystemInfo(DumpImage& image) {
    MINIDUMP_SYSTEM_INFO info{};
    info.ProcessorArchitecture = kProcessorArchitectureAmd64;
    info.PlatformId = kPlatformIdLinux;
    const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    info.NumberOfProcessors = static_cast<std::uint8_t>(std::clamp<long>(processors, 1, 255));

    unsigned int eax = 0;
    unsigned int ebx = 0;
    unsigned int ecx = 0;
    unsigned int edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) != 0) {
        info.Cpu.VendorId[0] = ebx;
        info.Cpu.VendorId[1] = edx;
        info.Cpu.VendorId[2] = ecx;
    }
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0) {
        info.Cpu.VersionInformation = eax;
        info.Cpu.FeatureInformation = edx;
        unsigned int family = (eax >> 8) & 0xF;
        unsigned int model = (eax >> 4) & 0xF;
        if (family == 0xF) {
            family += (eax >> 20) & 0xFF;
        }
        if (family == 0x6 || family >= 0xF) {
            model += ((eax >> 16) & 0xF) << 4;
        }
        info.ProcessorLevel = static_cast<std::uint16_t>(family);
        info.ProcessorRevision = static_cast<std::uint16_t>((model << 8) | (eax & 0xF));
    }
    if (__get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx) != 0) {
        info.Cpu.AMDExtendedCpuFeatures = ebx;
    }

    utsname names{};
    std::string description = "Linux";
    if (::uname(&names) == 0) {
        ULONG32 numbers[3] = {0, 0, 0};
        ParseRelease(names.release, numbers);
        info.MajorVersion = numbers[0];
        info.MinorVersion = numbers[1];
        info.BuildNumber = numbers[2];
        description = std::string(names.sysname) + ' ' + names.release + ' ' + names.version + ' ' +
                      names.machine;
    }
    info.CSDVersionRva = image.AppendString(description);
    const ULONG32 rva = image.AppendRecord(info);
    return {sizeof info, rva};
}

MINIDUMP_LOCATION_DESCRIPTOR AppendMiscInfo(DumpImage& image) {
    MINIDUMP_MISC_INFO info{};
    info.SizeOfInfo = sizeof info;
    info.Flags1 = kMiscProcessId;
    info.ProcessId = static_cast<ULONG32>(::getpid());
    const ULONG32 rva = image.AppendRecord(info);
    return {sizeof info, rva};
}

// The thread's stack from its stack pointer up, as far as the mapping that
// holds it goes and at most kMiniDumpStackLimit bytes.
MINIDUMP_MEMORY_DESCRIPTOR AppendStack(DumpImage& image, std::uint64_t stackPointer) {
    MINIDUMP_MEMORY_DESCRIPTOR stack{stackPointer, {0, 0}};
    const std::uint64_t end = MappingEnd(stackPointer);
    if (end == 0) {
        return stack;
    }
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min<std::uint64_t>(end - stackPointer, kMiniDumpStackLimit)));
    bytes.resize(ReadOwnMemory(stackPointer, bytes.data(), bytes.size()));
    stack.Memory = image.AppendBlock(bytes.data(), bytes.size(), 16);
    return stack;
}

struct ExceptionDetails {
    DWORD threadId = 0;
    EXCEPTION_RECORD record{};
};

// Refuses, before anything is read or written, a call that this writer
// cannot serve.
void CheckRequest(HANDLE hProcess, DWORD ProcessId, HANDLE hFile, MINIDUMP_TYPE DumpType,
                  PMINIDUMP_CALLBACK_INFORMATION CallbackParam) {
    if (hProcess != kCurrentProcessHandle) {
        throw DumpFailure{ERROR_INVALID_HANDLE};
    }
    if (ProcessId != static_cast<DWORD>(::getpid()) ||
        (static_cast<DWORD>(DumpType) & ~static_cast<DWORD>(MiniDumpValidTypeFlags)) != 0) {
        throw DumpFailure{ERROR_INVALID_PARAMETER};
    }
    if (CallbackParam != nullptr && CallbackParam->CallbackRoutine != nullptr) {
        throw DumpFailure{ERROR_NOT_SUPPORTED};
    }
    const int descriptor = DescriptorOf(hFile);
    const int flags = descriptor < 0 ? -1 : ::fcntl(descriptor, F_GETFL);
    if (flags == -1) {
        throw DumpFailure{ERROR_INVALID_HANDLE};
    }
    if ((flags & O_ACCMODE) == O_RDONLY) {
        throw DumpFailure{ERROR_ACCESS_DENIED};
    }
}

void WriteAll(HANDLE hFile, const std::vector<std::uint8_t>& bytes) {
    const int descriptor = DescriptorOf(hFile);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else {
            // A write of nothing at all can only mean the device is full.
            throw DumpFailure{PosixPlatform::WindowsErrorFromErrno(written < 0 ? errno : ENOSPC)};
        }
    }
}

void WriteDump(const CONTEXT& ownContext, HANDLE hFile, MINIDUMP_TYPE DumpType,
               PMINIDUMP_EXCEPTION_INFORMATION ExceptionParam,
               PMINIDUMP_USER_STREAM_INFORMATION UserStreamParam) {
    CONTEXT context = ownContext;
    const auto threadId = static_cast<DWORD>(::gettid());
    bool withException = false;
    ExceptionDetails exception;
    if (ExceptionParam != nullptr) {
        if (ExceptionParam->ThreadId != threadId) {
            throw DumpFailure{ERROR_NOT_SUPPORTED};
        }
        if (ExceptionParam->ExceptionPointers == nullptr) {
            throw DumpFailure{ERROR_INVALID_PARAMETER};
        }
        EXCEPTION_POINTERS pointers{};
        ReadWhole(ExceptionParam->ExceptionPointers, pointers);
        if (pointers.ExceptionRecord == nullptr) {
            throw DumpFailure{ERROR_INVALID_PARAMETER};
        }
        ReadWhole(pointers.ExceptionRecord, exception.record);
        if (pointers.ContextRecord != nullptr) {
            ReadWhole(pointers.ContextRecord, context);
        }
        exception.threadId = ExceptionParam->ThreadId;
        withException = true;
    }

    std::vector<ULONG32> streamTypes = {SystemInfoStream, ThreadListStream, ModuleListStream,
                                        MemoryListStream, MiscInfoStream};
    if (withException) {
        streamTypes.push_back(ExceptionStream);
    }
    std::vector<MINIDUMP_USER_STREAM> userStreams;
    if (UserStreamParam != nullptr && UserStreamParam->UserStreamCount != 0) {
        if (UserStreamParam->UserStreamArray == nullptr) {
            throw DumpFailure{ERROR_INVALID_PARAMETER};
        }
        userStreams.resize(UserStreamParam->UserStreamCount);
        const std::size_t size = userStreams.size() * sizeof(MINIDUMP_USER_STREAM);
        if (ReadOwnMemory(reinterpret_cast<std::uintptr_t>(UserStreamParam->UserStreamArray),
                          userStreams.data(), size) != size) {
            throw DumpFailure{ERROR_INVALID_PARAMETER};
        }
        for (const MINIDUMP_USER_STREAM& stream : userStreams) {
            const bool taken =
                std::find(streamTypes.begin(), streamTypes.end(), stream.Type) != streamTypes.end();
            if (stream.Type == UnusedStream || taken ||
                (stream.Buffer == nullptr && stream.BufferSize != 0)) {
                throw DumpFailure{ERROR_INVALID_PARAMETER};
            }
            streamTypes.push_back(stream.Type);
        }
    }

    DumpImage image;
    const ULONG32 headerRva = image.AppendRecord(MINIDUMP_HEADER{});
    std::vector<MINIDUMP_DIRECTORY> directory;
    const ULONG32 directoryRva =
        image.Append(std::vector<MINIDUMP_DIRECTORY>(streamTypes.size()).data(),
                     streamTypes.size() * sizeof(MINIDUMP_DIRECTORY), 4);

    directory.push_back({SystemInfoStream, AppendSystemInfo(image)});

    const MINIDUMP_LOCATION_DESCRIPTOR contextLocation =
        image.AppendBlock(&context, sizeof context, 16);
    MINIDUMP_THREAD thread{};
    thread.ThreadId = threadId;
    thread.Teb = static_cast<std::uint64_t>(::pthread_self());
    thread.Stack = AppendStack(image, context.Rsp);
    thread.ThreadContext = contextLocation;
    const ULONG32 threadCount = 1;
    const ULONG32 threadListRva = image.AppendRecord(threadCount);
    image.AppendRecord(thread);
    directory.push_back({ThreadListStream, {sizeof threadCount + sizeof thread, threadListRva}});

    directory.push_back({ModuleListStream, AppendModuleList(image, DumpType)});

    const ULONG32 rangeCount = thread.Stack.Memory.DataSize != 0 ? 1 : 0;
    const ULONG32 memoryListRva = image.AppendRecord(rangeCount);
    if (rangeCount != 0) {
        image.AppendRecord(thread.Stack);
    }
    directory.push_back(
        {MemoryListStream,
         {static_cast<ULONG32>(sizeof rangeCount + rangeCount * sizeof thread.Stack),
          memoryListRva}});

    if (withException) {
        const EXCEPTION_RECORD& record = exception.record;
        MINIDUMP_EXCEPTION_STREAM stream{};
        stream.ThreadId = exception.threadId;
        stream.ExceptionRecord.ExceptionCode = record.ExceptionCode;
        stream.ExceptionRecord.ExceptionFlags = record.ExceptionFlags;
        stream.ExceptionRecord.ExceptionRecord =
            reinterpret_cast<std::uintptr_t>(record.ExceptionRecord);
        stream.ExceptionRecord.ExceptionAddress =
            reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
        stream.ExceptionRecord.NumberParameters =
            std::min(record.NumberParameters, EXCEPTION_MAXIMUM_PARAMETERS);
        for (DWORD index = 0; index < stream.ExceptionRecord.NumberParameters; ++index) {
            stream.ExceptionRecord.ExceptionInformation[index] = record.ExceptionInformation[index];
        }
        stream.ThreadContext = contextLocation;
        const ULONG32 rva = image.AppendRecord(stream, 8);
        directory.push_back({ExceptionStream, {sizeof stream, rva}});
    }

    directory.push_back({MiscInfoStream, AppendMiscInfo(image)});

    for (const MINIDUMP_USER_STREAM& stream : userStreams) {
        std::vector<std::uint8_t> bytes(stream.BufferSize);
        if (ReadOwnMemory(reinterpret_cast<std::uintptr_t>(stream.Buffer), bytes.data(),
                          bytes.size()) != bytes.size()) {
            throw DumpFailure{ERROR_INVALID_PARAMETER};
        }
        directory.push_back({stream.Type, image.AppendBlock(bytes.data(), bytes.size(), 8)});
    }

    MINIDUMP_HEADER header{};
    header.Signature = kMinidumpSignature;
    header.Version = kMinidumpVersion;
    header.NumberOfStreams = static_cast<ULONG32>(directory.size());
    header.StreamDirectoryRva = directoryRva;
    header.TimeDateStamp = static_cast<ULONG32>(std::time(nullptr));
    header.Flags = static_cast<DWORD>(DumpType) & kHonouredTypeFlags;
    image.Overwrite(headerRva, header);
    for (std::size_t index = 0; index < directory.size(); ++index) {
        image.Overwrite(static_cast<ULONG32>(directoryRva + index * sizeof(MINIDUMP_DIRECTORY)),
                        directory[index]);
    }
    WriteAll(hFile, image.Bytes());
}

}  // namespace

HANDLE GetCurrentProcess() {
    return kCurrentProcessHandle;
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(::getpid());
}

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(::gettid());
}

BOOL MiniDumpWriteDump(HANDLE hProcess, DWORD ProcessId, HANDLE hFile, MINIDUMP_TYPE DumpType,
                       PMINIDUMP_EXCEPTION_INFORMATION ExceptionParam,
                       PMINIDUMP_USER_STREAM_INFORMATION UserStreamParam,
                       PMINIDUMP_CALLBACK_INFORMATION CallbackParam) {
    // Captured here, so that a dump without exception information shows the
    // caller's stack up to this call.
    CONTEXT ownContext;
    std::memset(&ownContext, 0, sizeof ownContext);
    RtlCaptureContext(&ownContext);
    try {
        CheckRequest(hProcess, ProcessId, hFile, DumpType, CallbackParam);
        WriteDump(ownContext, hFile, DumpType, ExceptionParam, UserStreamParam);
    } catch (const DumpFailure& failure) {
        SetLastErrorCode(failure.code);
        return FALSE;
    } catch (const std::bad_alloc&) {
        SetLastErrorCode(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    } catch (...) {
        SetLastErrorCode(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
