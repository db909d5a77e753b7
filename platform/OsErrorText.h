#pragma once
// The operating system's own text for an error number. The comm-device layer reports failures
// with the Win32 error numbers (2 file not found, 5 access denied, 87 invalid parameter …), so
// that numbering is kept; the text is the Linux system text of the matching errno, in the
// language the C library chooses for the process.
#include "os/OsError.h"

#include <cstdint>
#include <string>

// The system text for a Win32 error number; empty when the number has no Linux counterpart.
std::string OsErrorText(uint32_t osError);
