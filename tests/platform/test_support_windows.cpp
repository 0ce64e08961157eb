#include <stdexcept>
#include <string>

#include "platform/win32_api.hpp"
#include "tests/platform/test_support.hpp"

// After the seam: it needs the declarations that come with it.
#include <winioctl.h>

namespace PlatformTest {

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + " failed with Windows error " + std::to_string(GetLastError()));
}

}  // namespace

void WriteSparseFile(const std::string& path, std::uint64_t size, std::uint64_t offset,
                     const std::vector<std::uint8_t>& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Fail("CreateFileA " + path);
    }
    // Marked sparse, the zeros before `offset` take no space and no time.
    DWORD returned = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(size);
    bool written = SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    distance.QuadPart = static_cast<LONGLONG>(offset);
    DWORD count = 0;
    written = written && SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) &&
              ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr) &&
              count == bytes.size();
    CloseHandle(file);
    if (!written) {
        Fail("writing " + path);
    }
}

struct ScratchRegistryKey::Backing {};

ScratchRegistryKey::ScratchRegistryKey()
    : backing(std::make_unique<Backing>()), path("Software\\SkelvinTests\\" + UniqueName()) {}

ScratchRegistryKey::~ScratchRegistryKey() {
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    // Fails, as it should, while another run still has keys there.
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\SkelvinTests");
}

std::string CharacterDevicePath() {
    return "NUL";
}

NamedPipe::NamedPipe(const TemporaryFolder& folder) {
    path = "\\\\.\\pipe\\" + folder.Path().filename().string();
    server = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096,
                              4096, 0, nullptr);
    if (server == INVALID_HANDLE_VALUE) {
        Fail("CreateNamedPipeA " + path);
    }
}

NamedPipe::~NamedPipe() {
    CloseHandle(server);
}

std::optional<std::string> LocalSocketPath(const TemporaryFolder&) {
    return std::nullopt;
}

std::optional<std::size_t> OpenHandleCount() {
    DWORD count = 0;
    // Some hosts answer without counting; a process always holds handles.
    if (!GetProcessHandleCount(GetCurrentProcess(), &count) || count == 0) {
        return std::nullopt;
    }
    return count;
}

bool IsFileOpen(const std::string& path) {
    // Every handle of the file layer admits readers only: an open that
    // admits nobody else fails while one is open.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_SHARING_VIOLATION) {
            return true;
        }
        Fail("CreateFileA " + path);
    }
    CloseHandle(file);
    return false;
}

bool OpenFilesAdmitWriters() {
    return false;
}

}  // namespace PlatformTest
