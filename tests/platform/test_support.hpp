// Real files for tests: temporary folders, and the platform-specific kinds
// of file and handle checks that the file layer's tests need.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace PlatformTest {

// A new, empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TemporaryFolder {
  public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& Path() const { return path; }

    // The text of the path of `name` inside the folder, as the platform's
    // calls take it.
    std::string PathOf(const std::string& name) const;

  private:
    std::filesystem::path path;
};

// A name that no other test, run or process uses at the same time.
std::string UniqueName();

// A registry key of the test's own below HKEY_CURRENT_USER, in
// "Software\SkelvinTests", under a name no other run uses; the object does
// not create it. On Linux, while the object lives, the registry calls of the
// process use hive files in a temporary folder of its own; on Windows they
// use the real registry, and the key goes with everything below it (and
// "Software\SkelvinTests" once empty) when the object goes.
class ScratchRegistryKey {
  public:
    ScratchRegistryKey();
    ~ScratchRegistryKey();
    ScratchRegistryKey(const ScratchRegistryKey&) = delete;
    ScratchRegistryKey& operator=(const ScratchRegistryKey&) = delete;

    // The key's path below HKEY_CURRENT_USER.
    const std::string& Path() const { return path; }

  private:
    struct Backing;
    std::unique_ptr<Backing> backing;
    std::string path;
};

// Creates (or replaces) the file at `path` holding `bytes`.
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// `count` bytes that differ from their neighbours, so that a misplaced
// chunk shows.
std::vector<std::uint8_t> PatternBytes(std::size_t count, std::uint64_t firstPosition = 0);

// Creates (or replaces) a sparse file of `size` bytes at `path` holding
// `bytes` at `offset` and zeros elsewhere, without writing the zeros.
void WriteSparseFile(const std::string& path, std::uint64_t size, std::uint64_t offset,
                     const std::vector<std::uint8_t>& bytes);

// The path of a character device that can be opened for reading ("NUL",
// "/dev/null").
std::string CharacterDevicePath();

// A pipe that the platform's CreateFileA can open by name: a FIFO in
// `folder`, or a named pipe waiting for a client. Removed with the object.
class NamedPipe {
  public:
    explicit NamedPipe(const TemporaryFolder& folder);
    ~NamedPipe();
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    const std::string& Path() const { return path; }

  private:
    std::string path;
    void* server = nullptr;
};

// The path of a listening local socket in `folder`, where the platform has
// socket files; nothing elsewhere. The socket lives as long as the folder.
std::optional<std::string> LocalSocketPath(const TemporaryFolder& folder);

// How many descriptors or handles the process holds open, where the
// platform can tell; nothing elsewhere.
std::optional<std::size_t> OpenHandleCount();

// Whether a handle to the file at `path` is open (in a test: this
// process's).
bool IsFileOpen(const std::string& path);

// Whether a file open through the file layer admits writers that could
// change its length (share modes are not enforced).
bool OpenFilesAdmitWriters();

}  // namespace PlatformTest
