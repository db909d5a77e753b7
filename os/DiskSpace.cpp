#include "os/DiskSpace.h"

#include <sys/statvfs.h>

long long FreeBytes(const std::string &folder) {
  struct statvfs disk {};
  if (statvfs(folder.c_str(), &disk) != 0)
    return -1;
  return static_cast<long long>(disk.f_bavail) * static_cast<long long>(disk.f_frsize);
}
