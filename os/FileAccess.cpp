#include "os/FileAccess.h"

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

bool MayWrite(const std::string &path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || ::access(path.c_str(), W_OK) != 0)
    return false;
  return ::geteuid() != 0 || (st.st_mode & 0222) != 0;
}

bool MayReplaceInFolder(const std::string &file, const std::string &folder) {
  struct stat fileStat {}, folderStat {};
  if (::stat(folder.c_str(), &folderStat) != 0 || (folderStat.st_mode & S_ISVTX) == 0)
    return true;
  if (::stat(file.c_str(), &fileStat) != 0)
    return true;
  const uid_t self = ::geteuid();
  return self == 0 || self == fileStat.st_uid || self == folderStat.st_uid;
}

bool ProcessExists(int pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }
