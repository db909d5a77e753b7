#pragma once
// The reason of a failed file operation for the technician, in Russian: the C library's own
// texts follow the process's locale, which on a bench is often not Russian.
#include <string>

// "нет места на диске" for ENOSPC and so on; the system's text for an errno without one.
std::string OsErrorReason(int err);
