#pragma once
// Entries of a /proc directory of this process: its open descriptors (/proc/self/fd) or its
// threads (/proc/self/task), for tests that a component gives back what it took.
#include <dirent.h>

inline int CountEntries(const char *path) {
  int n = 0;
  if (DIR *d = opendir(path)) {
    while (readdir(d))
      ++n;
    closedir(d);
  }
  return n;
}
