// The calls a crash dump needs beyond the file layer's: the account, the
// executable's path, the shell's folders and path helpers, library loading,
// the registry and the debug help library's MiniDumpWriteDump. The Windows
// build gets the platform's own declarations; the Linux build the project's
// stand-ins (see platform/posix/shell_posix.hpp,
// platform/posix/registry_posix.hpp and platform/posix/minidump_posix.hpp).
#pragma once

#include "platform/exception_record.hpp"
#include "platform/win32_api.hpp"

#ifdef _WIN32
#include <dbghelp.h>
#include <shlobj.h>
#include <shlwapi.h>
#else
#include "platform/posix/minidump_posix.hpp"
#include "platform/posix/shell_posix.hpp"
#endif

// The crash-dump code depends on these values; both builds check them here.
static_assert(MAX_PATH == 260);
static_assert(CSIDL_LOCAL_APPDATA == 0x1C && CSIDL_FLAG_CREATE == 0x8000);
static_assert(SHGFP_TYPE_CURRENT == 0);
static_assert(KEY_READ == 0x20019 && KEY_ALL_ACCESS == 0xF003F);
static_assert(REG_OPTION_NON_VOLATILE == 0 && REG_DWORD == 4);
static_assert(MiniDumpNormal == 0);
