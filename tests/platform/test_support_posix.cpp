#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "tests/platform/test_support.hpp"

namespace PlatformTest {

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

void WriteSparseFile(const std::string& path, std::uint64_t size, std::uint64_t offset,
                     const std::vector<std::uint8_t>& bytes) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        Fail("open " + path);
    }
    const bool written = ::ftruncate(descriptor, static_cast<off_t>(size)) == 0 &&
                         ::pwrite(descriptor, bytes.data(), bytes.size(),
                                  static_cast<off_t>(offset)) == static_cast<ssize_t>(bytes.size());
    const int failure = errno;
    ::close(descriptor);
    if (!written) {
        errno = failure;
        Fail("write " + path);
    }
}

struct ScratchRegistryKey::Backing {
    TemporaryFolder hives;
    std::optional<std::string> replacedFolder;
};

ScratchRegistryKey::ScratchRegistryKey()
    : backing(std::make_unique<Backing>()), path("Software\\SkelvinTests\\" + UniqueName()) {
    if (const char* folder = std::getenv("SKELVIN_REGISTRY_DIR")) {
        backing->replacedFolder = folder;
    }
    if (::setenv("SKELVIN_REGISTRY_DIR", backing->hives.Path().c_str(), 1) != 0) {
        Fail("setenv SKELVIN_REGISTRY_DIR");
    }
}

ScratchRegistryKey::~ScratchRegistryKey() {
    if (backing->replacedFolder) {
        ::setenv("SKELVIN_REGISTRY_DIR", backing->replacedFolder->c_str(), 1);
    } else {
        ::unsetenv("SKELVIN_REGISTRY_DIR");
    }
}

std::string CharacterDevicePath() {
    return "/dev/null";
}

NamedPipe::NamedPipe(const TemporaryFolder& folder) : path(folder.PathOf("fifo")) {
    if (::mkfifo(path.c_str(), 0600) != 0) {
        Fail("mkfifo " + path);
    }
}

NamedPipe::~NamedPipe() {
    ::unlink(path.c_str());
}

std::optional<std::string> LocalSocketPath(const TemporaryFolder& folder) {
    const std::string path = folder.PathOf("socket");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        throw std::runtime_error("socket path too long: " + path);
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0) {
        Fail("socket");
    }
    if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(descriptor);
        Fail("bind " + path);
    }
    // Only the socket file matters; it stays after the descriptor goes.
    ::close(descriptor);
    return path;
}

std::optional<std::size_t> OpenHandleCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

bool IsFileOpen(const std::string& path) {
    const std::filesystem::path target = std::filesystem::canonical(path);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const std::filesystem::path opened = std::filesystem::read_symlink(entry.path(), error);
        if (!error && opened == target) {
            return true;
        }
    }
    return false;
}

bool OpenFilesAdmitWriters() {
    return true;
}

}  // namespace PlatformTest
