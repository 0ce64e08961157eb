// The crash-dump settings and dump folder of the test process, kept apart
// from the user's own: on Linux the registry files and the data folder lie
// in a temporary folder for the whole run; on Windows the tests own the keys
// under Software\Quorvane and clear them before each test.
#pragma once

#include <string>

namespace DumpSettings {

// Makes the registry and the local application-data folder the tests' own.
// Called once, before any test.
void IsolateSettings();

// Removes HKEY_LOCAL_MACHINE\Software\Quorvane and
// HKEY_CURRENT_USER\Software\Quorvane with everything below them.
void ClearSettings();

// Where the registry stand-in keeps HKEY_CURRENT_USER (Linux), for tests of
// a damaged file; empty on Windows.
std::string UserHivePath();

// Where the registry stand-in keeps HKEY_LOCAL_MACHINE (Linux); empty on
// Windows.
std::string MachineHivePath();

}  // namespace DumpSettings
