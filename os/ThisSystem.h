#pragma once
// What this machine and this process's user are called.
#include <string>

// The kernel's name and release, "Linux 6.1.0-13-amd64".
std::string SystemNameAndRelease();
// The machine's own name: the bench of the journal, the host of an office lock file.
std::string HostName();
// The login of the effective user; empty when it has none.
std::string LoginName();
