// The Windows build reaches the platform's own calls; the seam needs no code
// of its own there. Compiling the seam here checks the platform's values
// against those the system depends on.
#include "platform/win32_api.hpp"
