#pragma once
// Entries of a /proc directory of this process: its open descriptors (/proc/self/fd) or its
// threads (/proc/self/task), for tests that a component gives back what it took and for the
// soak benchmark's counts. "." and ".." are not counted.
#include <cstring>
#include <dirent.h>

inline int CountEntries(const char *path) {
  int n = 0;
  if (DIR *d = opendir(path)) {
    while (const dirent *entry = readdir(d))
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        ++n;
    closedir(d);
  }
  return n;
}
