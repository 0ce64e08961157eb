// The platform's COM error class, `_com_error`, with what the failure
// description needs of it: the HRESULT (Error), the optional error-information
// interface (ErrorInfo, with GetDescription and GetSource giving automation
// strings) and the message text (ErrorMessage). The Windows build uses the
// platform's own class; the Linux build the project's stand-in of the same
// shape. ComErrorText turns an automation string into narrow text.
#pragma once

#include <string>

#ifdef _WIN32
#include "platform/win32_api.hpp"
// The platform's COM support header comes after the Win32 declarations.
#include <comdef.h>
#else
#include "platform/posix/com_error_posix.hpp"
#endif

// The characters of an automation string (UTF-16) in the narrow code page of
// the process (the ANSI code page on Windows, UTF-8 on Linux); a null string
// gives an empty text. Characters the code page cannot hold become '?'.
std::string ComErrorText(BSTR text);
