#include "tests/platform/test_support.hpp"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace PlatformTest {

std::string UniqueName() {
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return "skelvin-test-" + std::to_string(entropy()) + "-" +
           std::to_string(static_cast<unsigned long long>(ticks)) + "-" + std::to_string(counter++);
}

TemporaryFolder::TemporaryFolder() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = base / UniqueName();
        if (std::filesystem::create_directory(candidate)) {
            path = std::move(candidate);
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string TemporaryFolder::PathOf(const std::string& name) const {
    return (path / name).string();
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<std::uint8_t> PatternBytes(std::size_t count, std::uint64_t firstPosition) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        // 251 is prime, so the pattern never lines up with a chunk size.
        bytes[i] = static_cast<std::uint8_t>((firstPosition + i) % 251 + 1);
    }
    return bytes;
}

}  // namespace PlatformTest
