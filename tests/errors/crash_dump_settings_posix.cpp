#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/errors/crash_dump_settings.hpp"

namespace DumpSettings {

namespace {

std::filesystem::path& Root() {
    static std::filesystem::path root;
    return root;
}

}  // namespace

void IsolateSettings() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "skelvin-dumps-XXXXXX").string();
    const char* created = ::mkdtemp(pattern.data());
    if (created == nullptr) {
        std::abort();
    }
    Root() = created;
    std::filesystem::create_directories(Root() / "registry");
    ::setenv("SKELVIN_REGISTRY_DIR", (Root() / "registry").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (Root() / "data").c_str(), 1);
    // Whatever happens to the tests, nothing is left behind.
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(Root(), ignored);
    });
}

void ClearSettings() {
    std::filesystem::remove(UserHivePath());
    std::filesystem::remove(MachineHivePath());
}

std::string UserHivePath() {
    return (Root() / "registry" / "HKEY_CURRENT_USER.reg").string();
}

std::string MachineHivePath() {
    return (Root() / "registry" / "HKEY_LOCAL_MACHINE.reg").string();
}

}  // namespace DumpSettings
