#pragma once
// Whether this process may change a file, asked before anything is started that would fail
// on it later.
#include <string>

// The file (or folder) exists and may be written by us. Root may write anything, but a file or
// folder without any write permission bit was made read-only on purpose and counts as such.
bool MayWrite(const std::string &path);
// A file in a folder with the sticky bit (like /tmp) may be replaced or removed only by its
// owner, the folder's owner or root, whatever the folder's permissions say.
bool MayReplaceInFolder(const std::string &file, const std::string &folder);
// Whether a process with this id runs (ours or another user's).
bool ProcessExists(int pid);
