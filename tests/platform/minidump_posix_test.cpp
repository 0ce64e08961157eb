// The Linux MiniDumpWriteDump: dumps written from a thrown exception, read
// back by a parser of the file's own here and, when one is installed, by an
// independent minidump reader (SKELVIN_MINIDUMP_STACKWALK, the path of a
// minidump_stackwalk; tools/install-minidump-reader.sh installs one).
#include "platform/posix/minidump_posix.hpp"

#include <gtest/gtest.h>
#include <unistd.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/guarded_call.hpp"
#include "tests/platform/test_support.hpp"
#include "tests/support/case_name.hpp"

namespace {

using PlatformTest::TemporaryFolder;

// The file's numbers, written out here rather than taken from the writer.
constexpr std::uint32_t kSignature = 0x504D444D;  // "MDMP"
constexpr std::uint16_t kVersion = 0xA793;
constexpr std::uint32_t kThreadList = 3;
constexpr std::uint32_t kModuleList = 4;
constexpr std::uint32_t kMemoryList = 5;
constexpr std::uint32_t kException = 6;
constexpr std::uint32_t kSystemInfo = 7;
constexpr std::uint32_t kMiscInfo = 15;
constexpr std::size_t kThreadSize = 48;
constexpr std::size_t kModuleSize = 108;
constexpr std::size_t kContextSize = 1232;
constexpr std::size_t kContextFlagsOffset = 48;
constexpr std::size_t kContextRspOffset = 152;
constexpr std::uint32_t kElfBuildIdSignature = 0x4270454C;  // "BpEL"
constexpr std::size_t kStackLimit = 256 * 1024;

constexpr std::uint64_t kStackMarker[] = {0x51E1F1D0C0FFEE01, 0x51E1F1D0C0FFEE02,
                                          0x51E1F1D0C0FFEE03, 0x51E1F1D0C0FFEE04};

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string OwnExecutablePath() {
    return std::filesystem::read_symlink("/proc/self/exe");
}

std::string FileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

struct Location {
    std::uint32_t size = 0;
    std::uint32_t rva = 0;
};

struct Module {
    std::uint64_t base = 0;
    std::uint32_t size = 0;
    std::string name;
    std::vector<std::uint8_t> codeView;
};

// A minidump read back with nothing but the format's published layout.
// Every read is bounds-checked; a dump that points outside itself throws.
class Dump {
  public:
    explicit Dump(std::vector<std::uint8_t> fileBytes) : bytes(std::move(fileBytes)) {
        if (U32(0) != kSignature) {
            throw std::runtime_error("no MDMP signature");
        }
        version = U32(4);
        flags = U64(24);
        const std::uint32_t count = U32(8);
        const std::uint32_t directory = U32(12);
        for (std::uint32_t index = 0; index < count; ++index) {
            const std::size_t entry = directory + std::size_t{12} * index;
            const std::uint32_t type = U32(entry);
            streamTypes.push_back(type);
            streams[type] = {U32(entry + 4), U32(entry + 8)};
            Slice(streams[type].rva, streams[type].size);
        }
    }

    template <typename Value>
    Value At(std::size_t offset) const {
        Value value;
        std::memcpy(&value, Slice(offset, sizeof value).data(), sizeof value);
        return value;
    }
    std::uint16_t U16(std::size_t offset) const { return At<std::uint16_t>(offset); }
    std::uint32_t U32(std::size_t offset) const { return At<std::uint32_t>(offset); }
    std::uint64_t U64(std::size_t offset) const { return At<std::uint64_t>(offset); }

    std::vector<std::uint8_t> Slice(std::size_t offset, std::size_t size) const {
        if (offset > bytes.size() || size > bytes.size() - offset) {
            throw std::out_of_range("the dump points outside itself");
        }
        return {bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                bytes.begin() + static_cast<std::ptrdiff_t>(offset + size)};
    }
    std::vector<std::uint8_t> Slice(Location location) const {
        return Slice(location.rva, location.size);
    }

    // A MINIDUMP_STRING holding ASCII text.
    std::string String(std::uint32_t rva) const {
        const std::uint32_t length = U32(rva);
        std::string text;
        for (std::uint32_t offset = 0; offset < length; offset += 2) {
            const std::uint16_t unit = U16(rva + 4 + offset);
            text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
        }
        if (U16(rva + 4 + length) != 0) {
            throw std::runtime_error("string without its terminator");
        }
        return text;
    }

    Location Stream(std::uint32_t type) const {
        const auto found = streams.find(type);
        if (found == streams.end()) {
            throw std::runtime_error("stream " + std::to_string(type) + " is missing");
        }
        return found->second;
    }

    std::vector<Module> Modules() const {
        const Location list = Stream(kModuleList);
        std::vector<Module> modules;
        const std::uint32_t count = U32(list.rva);
        if (list.size != 4 + count * kModuleSize) {
            throw std::runtime_error("module list size disagrees with its count");
        }
        for (std::uint32_t index = 0; index < count; ++index) {
            const std::size_t entry = list.rva + 4 + index * kModuleSize;
            Module module;
            module.base = U64(entry);
            module.size = U32(entry + 8);
            module.name = String(U32(entry + 20));
            module.codeView = Slice(Location{U32(entry + 76), U32(entry + 80)});
            modules.push_back(module);
        }
        return modules;
    }

    std::uint32_t version = 0;
    std::uint64_t flags = 0;
    std::vector<std::uint32_t> streamTypes;

  private:
    std::vector<std::uint8_t> bytes;
    std::map<std::uint32_t, Location> streams;
};

Dump ReadDump(const std::string& path) {
    return Dump(ReadWholeFile(path));
}

bool Contains(const std::vector<std::uint8_t>& haystack, const void* needle, std::size_t size) {
    const auto* first = static_cast<const std::uint8_t*>(needle);
    return std::search(haystack.begin(), haystack.end(), first, first + size) != haystack.end();
}

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char character : text) {
        quoted += character == '\'' ? std::string("'\\''") : std::string(1, character);
    }
    return quoted + "'";
}

// What the independent reader printed for a dump.
struct ReaderOutput {
    std::string out;
    std::string errors;
};

std::optional<std::string> ReaderPath() {
    const char* path = std::getenv("SKELVIN_MINIDUMP_STACKWALK");
    if (path == nullptr || *path == '\0') {
        return std::nullopt;
    }
    return std::string(path);
}

ReaderOutput RunReader(const std::string& reader, const std::string& dumpPath) {
    const std::string outPath = dumpPath + ".out";
    const std::string errorPath = dumpPath + ".err";
    const std::string command = ShellQuoted(reader) + " -m " + ShellQuoted(dumpPath) + " >" +
                                ShellQuoted(outPath) + " 2>" + ShellQuoted(errorPath);
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << command;
    const std::vector<std::uint8_t> out = ReadWholeFile(outPath);
    const std::vector<std::uint8_t> errors = ReadWholeFile(errorPath);
    return {std::string(out.begin(), out.end()), std::string(errors.begin(), errors.end())};
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

// Every dump a test writes goes through the independent reader too, when
// one is installed: it must read the dump without an error and find the
// system, the thread with at least one frame and this executable among the
// modules. Returns the reader's output for further checks.
std::optional<ReaderOutput> CheckWithReader(const std::string& dumpPath) {
    const std::optional<std::string> reader = ReaderPath();
    if (!reader) {
        return std::nullopt;
    }
    ReaderOutput output = RunReader(*reader, dumpPath);
    EXPECT_EQ(output.errors.find("ERROR"), std::string::npos) << output.errors;
    EXPECT_EQ(LinesStartingWith(output.out, "OS|Linux|").size(), 1u) << output.out;
    EXPECT_EQ(LinesStartingWith(output.out, "CPU|amd64|").size(), 1u) << output.out;
    EXPECT_EQ(
        LinesStartingWith(output.out, "Module|" + FileNameOf(OwnExecutablePath()) + "|").size(), 1u)
        << output.out;
    EXPECT_FALSE(LinesStartingWith(output.out, "0|0|").empty()) << output.out;
    return output;
}

HANDLE CreateForWriting(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// What the filter saw and did while the exception was on its way.
struct FilterVisit {
    std::string dumpPath;
    MINIDUMP_TYPE dumpType = MiniDumpNormal;
    bool called = false;
    BOOL written = FALSE;
    DWORD lastError = 0;
    bool hadContext = false;
    CONTEXT context{};
    EXCEPTION_RECORD record{};
    const volatile std::uint64_t* marker = nullptr;
};

FilterVisit* visit = nullptr;

LONG DumpingFilter(EXCEPTION_POINTERS* exception) {
    visit->called = true;
    visit->record = *exception->ExceptionRecord;
    visit->hadContext = exception->ContextRecord != nullptr;
    if (visit->hadContext) {
        visit->context = *exception->ContextRecord;
    }
    const HANDLE file = CreateForWriting(visit->dumpPath);
    MINIDUMP_EXCEPTION_INFORMATION information{GetCurrentThreadId(), exception, FALSE};
    visit->written = MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file,
                                       visit->dumpType, &information, nullptr, nullptr);
    visit->lastError = GetLastError();
    CloseHandle(file);
    return EXCEPTION_CONTINUE_SEARCH;
}

// Leaves a recognisable pattern in its frame, which the dump's stack memory
// must hold, then throws.
[[gnu::noinline]] void ThrowWithMarkerOnStack(void*) {
    volatile std::uint64_t marker[std::size(kStackMarker)];
    for (std::size_t index = 0; index < std::size(kStackMarker); ++index) {
        marker[index] = kStackMarker[index];
    }
    visit->marker = marker;
    throw std::runtime_error("relay list unreadable");
}

// Throws through CallWithExceptionFilter with the dumping filter and
// catches the exception again.
void DumpThrownException(FilterVisit& into) {
    visit = &into;
    try {
        CallWithExceptionFilter(ThrowWithMarkerOnStack, nullptr, DumpingFilter);
        ADD_FAILURE() << "the exception did not leave the call";
    } catch (const std::runtime_error&) {
    }
    visit = nullptr;
}

// One dump of a thrown exception, written once and read by every test.
class ThrownExceptionDumpTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder = std::make_unique<TemporaryFolder>();
        seen = std::make_unique<FilterVisit>();
        seen->dumpPath = folder->PathOf("Skelvin_0.dmp");
        DumpThrownException(*seen);
    }
    static void TearDownTestSuite() {
        seen.reset();
        folder.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(seen->called);
        ASSERT_TRUE(seen->written) << "last error " << seen->lastError;
    }

    static Dump Read() { return ReadDump(seen->dumpPath); }

    static std::vector<std::uint8_t> ThreadContext(const Dump& dump) {
        const Location threads = dump.Stream(kThreadList);
        return dump.Slice(Location{dump.U32(threads.rva + 4 + 40), dump.U32(threads.rva + 4 + 44)});
    }

    static std::unique_ptr<TemporaryFolder> folder;
    static std::unique_ptr<FilterVisit> seen;
};

std::unique_ptr<TemporaryFolder> ThrownExceptionDumpTest::folder;
std::unique_ptr<FilterVisit> ThrownExceptionDumpTest::seen;

TEST_F(ThrownExceptionDumpTest, FilterGetsTheContextOfTheSearchBelowTheThrowingFrame) {
    ASSERT_TRUE(seen->hadContext);
    const CONTEXT& context = seen->context;
    EXPECT_EQ(context.ContextFlags & CONTEXT_FULL, CONTEXT_FULL);
    // The stack grows down: the capture happened in frames called from the
    // throw, so below the thrower's marker, and not far below it.
    const auto marker = reinterpret_cast<std::uintptr_t>(seen->marker);
    EXPECT_LT(context.Rsp, marker);
    EXPECT_LT(marker - context.Rsp, kStackLimit);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(seen->record.ExceptionAddress), context.Rip);
}

TEST_F(ThrownExceptionDumpTest, HasHeaderAndEveryStreamOnce) {
    const Dump dump = Read();
    EXPECT_EQ(dump.version & 0xFFFF, kVersion);
    EXPECT_EQ(dump.flags, 0u);
    std::vector<std::uint32_t> types = dump.streamTypes;
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types, (std::vector<std::uint32_t>{kThreadList, kModuleList, kMemoryList, kException,
                                                 kSystemInfo, kMiscInfo}));
}

TEST_F(ThrownExceptionDumpTest, SystemInfoNamesAmd64AndLinux) {
    const Dump dump = Read();
    const Location info = dump.Stream(kSystemInfo);
    ASSERT_EQ(info.size, 56u);
    EXPECT_EQ(dump.U16(info.rva), 9u);                   // AMD64
    EXPECT_GE(dump.At<std::uint8_t>(info.rva + 6), 1u);  // processors
    EXPECT_EQ(dump.U32(info.rva + 20), 0x8201u);         // Linux
    EXPECT_EQ(dump.String(dump.U32(info.rva + 24)).rfind("Linux ", 0), 0u);
}

TEST_F(ThrownExceptionDumpTest, ThreadListHoldsTheThrowingThreadWithItsStack) {
    const Dump dump = Read();
    const Location threads = dump.Stream(kThreadList);
    ASSERT_EQ(dump.U32(threads.rva), 1u);
    ASSERT_EQ(threads.size, 4 + kThreadSize);
    const std::size_t thread = threads.rva + 4;
    EXPECT_EQ(dump.U32(thread), GetCurrentThreadId());

    const std::vector<std::uint8_t> context = ThreadContext(dump);
    ASSERT_EQ(context.size(), kContextSize);
    EXPECT_EQ(0, std::memcmp(context.data(), &seen->context, kContextSize));

    const std::uint64_t stackStart = dump.U64(thread + 24);
    const Location stack{dump.U32(thread + 32), dump.U32(thread + 36)};
    EXPECT_EQ(stackStart, seen->context.Rsp);
    EXPECT_GT(stack.size, 0u);
    EXPECT_LE(stack.size, kStackLimit);
    EXPECT_TRUE(Contains(dump.Slice(stack), kStackMarker, sizeof kStackMarker))
        << "the throwing frame is missing from the stack memory";
}

TEST_F(ThrownExceptionDumpTest, MemoryListPointsAtTheThreadStack) {
    const Dump dump = Read();
    const Location list = dump.Stream(kMemoryList);
    const std::size_t thread = dump.Stream(kThreadList).rva + 4;
    ASSERT_EQ(dump.U32(list.rva), 1u);
    EXPECT_EQ(dump.Slice(list.rva + 4, 16), dump.Slice(thread + 24, 16));
}

TEST_F(ThrownExceptionDumpTest, ModuleListNamesThisExecutableWithItsBuildId) {
    const Dump dump = Read();
    const std::vector<Module> modules = dump.Modules();
    const std::string executable = OwnExecutablePath();
    const auto found = std::find_if(modules.begin(), modules.end(), [&](const Module& module) {
        return module.name == executable;
    });
    ASSERT_NE(found, modules.end()) << executable;
    EXPECT_EQ(found, modules.begin()) << "the executable comes first";
    const auto code = reinterpret_cast<std::uintptr_t>(&ThrowWithMarkerOnStack);
    EXPECT_LE(found->base, code);
    EXPECT_LT(code, found->base + found->size);

    ASSERT_GT(found->codeView.size(), 4u) << "no build id";
    std::uint32_t signature;
    std::memcpy(&signature, found->codeView.data(), sizeof signature);
    EXPECT_EQ(signature, kElfBuildIdSignature);
    // The linker wrote the same id into the file.
    EXPECT_TRUE(Contains(ReadWholeFile(executable), found->codeView.data() + 4,
                         found->codeView.size() - 4));
}

TEST_F(ThrownExceptionDumpTest, ExceptionStreamDescribesTheThrow) {
    const Dump dump = Read();
    const Location stream = dump.Stream(kException);
    ASSERT_EQ(stream.size, 168u);
    EXPECT_EQ(dump.U32(stream.rva), GetCurrentThreadId());
    const std::size_t record = stream.rva + 8;
    EXPECT_EQ(dump.U32(record), 0xE06D7363u);
    EXPECT_EQ(dump.U64(record + 16),
              reinterpret_cast<std::uintptr_t>(seen->record.ExceptionAddress));
    ASSERT_EQ(dump.U32(record + 24), 3u);
    EXPECT_EQ(dump.U64(record + 32), 0x19930520u);
    EXPECT_EQ(dump.U64(record + 40), seen->record.ExceptionInformation[1]);
    EXPECT_EQ(dump.U64(record + 48), seen->record.ExceptionInformation[2]);
    const Location context{dump.U32(stream.rva + 160), dump.U32(stream.rva + 164)};
    EXPECT_EQ(dump.Slice(context), ThreadContext(dump));
}

TEST_F(ThrownExceptionDumpTest, MiscInfoHoldsTheProcessId) {
    const Dump dump = Read();
    const Location info = dump.Stream(kMiscInfo);
    ASSERT_EQ(info.size, 24u);
    EXPECT_EQ(dump.U32(info.rva), 24u);
    EXPECT_EQ(dump.U32(info.rva + 4) & 1u, 1u);
    EXPECT_EQ(dump.U32(info.rva + 8), static_cast<std::uint32_t>(::getpid()));
}

TEST_F(ThrownExceptionDumpTest, IndependentReaderShowsThreadModulesAndCrashReason) {
    if (!ReaderPath()) {
        GTEST_SKIP() << "SKELVIN_MINIDUMP_STACKWALK is not set: run "
                        "tools/install-minidump-reader.sh and set it to the path it prints";
    }
    const std::optional<ReaderOutput> output = CheckWithReader(seen->dumpPath);
    ASSERT_TRUE(output);
    std::ostringstream crash;
    crash << "Crash|0xe06d7363 / 0x00000000|0x" << std::hex << seen->context.Rip << "|0";
    EXPECT_EQ(LinesStartingWith(output->out, "Crash|"), std::vector<std::string>{crash.str()})
        << output->out;
}

[[gnu::noinline]] void CaptureHere(CONTEXT* context, void** frame) {
    *frame = __builtin_frame_address(0);
    RtlCaptureContext(context);
    // Keeps the call from becoming a jump, which would leave this frame.
    asm volatile("" ::: "memory");
}

TEST(RtlCaptureContextTest, DescribesItsCallerAsItResumes) {
    CONTEXT context{};
    void* frame = nullptr;
    CaptureHere(&context, &frame);
    EXPECT_EQ(context.ContextFlags, CONTEXT_FULL | CONTEXT_SEGMENTS);
    const auto caller = reinterpret_cast<std::uintptr_t>(&CaptureHere);
    EXPECT_GT(context.Rip, caller);
    EXPECT_LT(context.Rip, caller + 512);
    EXPECT_EQ(context.Rbp, reinterpret_cast<std::uintptr_t>(frame));
    EXPECT_LE(context.Rsp, context.Rbp);
    EXPECT_EQ(context.MxCsr, _mm_getcsr());
    EXPECT_EQ(context.FltSave.MxCsr, _mm_getcsr());
}

// Dumps written by direct calls, with every argument under the test's
// control.
class MiniDumpCallTest : public testing::Test {
  protected:
    std::string PathOf(const char* name) const { return folder.PathOf(name); }

    BOOL WriteTo(const std::string& path, MINIDUMP_TYPE type,
                 PMINIDUMP_USER_STREAM_INFORMATION userStreams = nullptr) {
        const HANDLE file = CreateForWriting(path);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        const BOOL written = MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file,
                                               type, nullptr, userStreams, nullptr);
        const DWORD error = GetLastError();
        CloseHandle(file);
        EXPECT_TRUE(written) << "last error " << error;
        return written;
    }

    TemporaryFolder folder;
};

TEST_F(MiniDumpCallTest, WithoutExceptionInformationDumpsTheCallersStack) {
    volatile std::uint64_t marker[std::size(kStackMarker)];
    for (std::size_t index = 0; index < std::size(kStackMarker); ++index) {
        marker[index] = kStackMarker[index];
    }
    const std::string path = PathOf("plain.dmp");
    ASSERT_TRUE(WriteTo(path, MiniDumpNormal));
    EXPECT_EQ(marker[0], kStackMarker[0]);

    const Dump dump = ReadDump(path);
    std::vector<std::uint32_t> types = dump.streamTypes;
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types, (std::vector<std::uint32_t>{kThreadList, kModuleList, kMemoryList, kSystemInfo,
                                                 kMiscInfo}));
    const std::size_t thread = dump.Stream(kThreadList).rva + 4;
    const std::vector<std::uint8_t> context =
        dump.Slice(Location{dump.U32(thread + 40), dump.U32(thread + 44)});
    ASSERT_EQ(context.size(), kContextSize);
    std::uint32_t flags;
    std::memcpy(&flags, context.data() + kContextFlagsOffset, sizeof flags);
    EXPECT_EQ(flags & CONTEXT_FULL, CONTEXT_FULL);
    std::uint64_t stackPointer;
    std::memcpy(&stackPointer, context.data() + kContextRspOffset, sizeof stackPointer);
    EXPECT_EQ(dump.U64(thread + 24), stackPointer);
    EXPECT_TRUE(Contains(dump.Slice(Location{dump.U32(thread + 32), dump.U32(thread + 36)}),
                         kStackMarker, sizeof kStackMarker));
    CheckWithReader(path);
}

TEST_F(MiniDumpCallTest, FilterModulePathsKeepsFileNamesOnly) {
    const std::string path = PathOf("filtered.dmp");
    ASSERT_TRUE(WriteTo(path, MiniDumpFilterModulePaths));
    const Dump dump = ReadDump(path);
    EXPECT_EQ(dump.flags, static_cast<std::uint64_t>(MiniDumpFilterModulePaths));
    const std::vector<Module> modules = dump.Modules();
    ASSERT_FALSE(modules.empty());
    EXPECT_EQ(modules.front().name, FileNameOf(OwnExecutablePath()));
    for (const Module& module : modules) {
        EXPECT_EQ(module.name.find('/'), std::string::npos) << module.name;
    }
    CheckWithReader(path);
}

TEST_F(MiniDumpCallTest, IgnoredTypeFlagsStillGiveTheNormalDump) {
    const std::string path = PathOf("full.dmp");
    ASSERT_TRUE(
        WriteTo(path, static_cast<MINIDUMP_TYPE>(MiniDumpWithFullMemory | MiniDumpWithHandleData)));
    const Dump dump = ReadDump(path);
    EXPECT_EQ(dump.flags, 0u) << "the header claims data the dump does not hold";
    EXPECT_EQ(dump.streamTypes.size(), 5u);
    CheckWithReader(path);
}

TEST_F(MiniDumpCallTest, WritesUserStreamsAsGiven) {
    const char text[] = "relay list: 3 relays";
    MINIDUMP_USER_STREAM stream{0x10001, sizeof text, const_cast<char*>(text)};
    MINIDUMP_USER_STREAM_INFORMATION streams{1, &stream};
    const std::string path = PathOf("user.dmp");
    ASSERT_TRUE(WriteTo(path, MiniDumpNormal, &streams));
    const Dump dump = ReadDump(path);
    EXPECT_EQ(std::count(dump.streamTypes.begin(), dump.streamTypes.end(), 0x10001u), 1);
    const std::vector<std::uint8_t> bytes = dump.Slice(dump.Stream(0x10001));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string(text, sizeof text));
    CheckWithReader(path);
}

// The arguments of one call, each case changing what it refuses.
struct Arguments {
    HANDLE process = GetCurrentProcess();
    DWORD processId = GetCurrentProcessId();
    enum class File { Writable, ReadOnly, Invalid } file = File::Writable;
    MINIDUMP_TYPE type = MiniDumpNormal;
    EXCEPTION_RECORD record{};
    EXCEPTION_POINTERS pointers{&record, nullptr};
    MINIDUMP_EXCEPTION_INFORMATION exception{GetCurrentThreadId(), &pointers, FALSE};
    MINIDUMP_USER_STREAM userStream{0x10001, 4, const_cast<char*>("data")};
    MINIDUMP_USER_STREAM_INFORMATION userStreams{0, &userStream};
    MINIDUMP_CALLBACK_INFORMATION callback{nullptr, nullptr};
};

struct RefusalCase {
    const char* name;
    void (*change)(Arguments&);
    DWORD error;
};
using TestCaseNames::PrintTo;

BOOL AcceptEverything(PVOID, MINIDUMP_CALLBACK_INPUT*, MINIDUMP_CALLBACK_OUTPUT*) {
    return TRUE;
}

class MiniDumpRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(MiniDumpRefusalTest, FailsWithTheErrorAndWritesNothing) {
    TemporaryFolder folder;
    const std::string path = folder.PathOf("refused.dmp");
    Arguments arguments;
    GetParam().change(arguments);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (arguments.file != Arguments::File::Invalid) {
        file = CreateForWriting(path);
        if (arguments.file == Arguments::File::ReadOnly) {
            CloseHandle(file);
            file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        }
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
    }
    const BOOL written =
        MiniDumpWriteDump(arguments.process, arguments.processId, file, arguments.type,
                          &arguments.exception, &arguments.userStreams, &arguments.callback);
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MiniDumpRefusalTest,
    testing::Values(
        RefusalCase{"AnotherProcessHandle",
                    [](Arguments& call) { call.process = reinterpret_cast<HANDLE>(0x1234); },
                    ERROR_INVALID_HANDLE},
        RefusalCase{"AnotherProcessId", [](Arguments& call) { call.processId += 1; },
                    ERROR_INVALID_PARAMETER},
        RefusalCase{"NoFile", [](Arguments& call) { call.file = Arguments::File::Invalid; },
                    ERROR_INVALID_HANDLE},
        RefusalCase{"FileOpenForReading",
                    [](Arguments& call) { call.file = Arguments::File::ReadOnly; },
                    ERROR_ACCESS_DENIED},
        RefusalCase{"UndefinedTypeBit",
                    [](Arguments& call) { call.type = static_cast<MINIDUMP_TYPE>(0x02000000); },
                    ERROR_INVALID_PARAMETER},
        RefusalCase{"NoExceptionPointers",
                    [](Arguments& call) { call.exception.ExceptionPointers = nullptr; },
                    ERROR_INVALID_PARAMETER},
        RefusalCase{"NoExceptionRecord",
                    [](Arguments& call) { call.pointers.ExceptionRecord = nullptr; },
                    ERROR_INVALID_PARAMETER},
        RefusalCase{"UnreadableExceptionRecord",
                    [](Arguments& call) {
                        call.pointers.ExceptionRecord = reinterpret_cast<EXCEPTION_RECORD*>(0x10);
                    },
                    ERROR_INVALID_PARAMETER},
        RefusalCase{
            "UnreadableContext",
            [](Arguments& call) { call.pointers.ContextRecord = reinterpret_cast<CONTEXT*>(0x10); },
            ERROR_INVALID_PARAMETER},
        RefusalCase{"AnotherThreadsException",
                    [](Arguments& call) { call.exception.ThreadId += 1; }, ERROR_NOT_SUPPORTED},
        RefusalCase{"Callback",
                    [](Arguments& call) { call.callback.CallbackRoutine = AcceptEverything; },
                    ERROR_NOT_SUPPORTED},
        RefusalCase{"UserStreamOfAWrittenType",
                    [](Arguments& call) {
                        call.userStreams.UserStreamCount = 1;
                        call.userStream.Type = ModuleListStream;
                    },
                    ERROR_INVALID_PARAMETER},
        RefusalCase{"UserStreamOfTheUnusedType",
                    [](Arguments& call) {
                        call.userStreams.UserStreamCount = 1;
                        call.userStream.Type = UnusedStream;
                    },
                    ERROR_INVALID_PARAMETER},
        RefusalCase{"UserStreamWithoutBuffer",
                    [](Arguments& call) {
                        call.userStreams.UserStreamCount = 1;
                        call.userStream.Buffer = nullptr;
                    },
                    ERROR_INVALID_PARAMETER}),
    TestCaseNames::CaseName<RefusalCase>);

}  // namespace
