#include <windows.h>

#include <string>

#include "tests/errors/crash_dump_settings.hpp"

namespace DumpSettings {

void IsolateSettings() {}

void ClearSettings() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Quorvane");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Quorvane");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quorvane");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quorvane");
}

std::string UserHivePath() {
    return {};
}

std::string MachineHivePath() {
    return {};
}

}  // namespace DumpSettings
