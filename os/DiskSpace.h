#pragma once
// Room left on a disk, for telling a full disk from other write failures.
#include <string>

// Bytes an ordinary user may still write on the file system holding folder; -1 when unknown.
long long FreeBytes(const std::string &folder);
