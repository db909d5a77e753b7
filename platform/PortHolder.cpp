#include "platform/PortHolder.h"

#include "os/ProcessTable.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Pseudo-terminal slaves have majors 136..143, index = minor + 256 per major step.
constexpr unsigned PtySlaveMajorFirst = 136, PtySlaveMajorLast = 143;

int PtyIndex(dev_t rdev) {
  const unsigned maj = major(rdev);
  if (maj < PtySlaveMajorFirst || maj > PtySlaveMajorLast)
    return -1;
  return static_cast<int>((maj - PtySlaveMajorFirst) * 256 + minor(rdev));
}

bool IsNumber(const char *s) {
  if (!*s)
    return false;
  for (; *s; ++s)
    if (!std::isdigit(static_cast<unsigned char>(*s)))
      return false;
  return true;
}

std::string ProgramOf(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  if (!std::getline(comm, name) || name.empty())
    return "?";
  return name;
}

// The pseudo-terminal index a master descriptor stands for, or -1.
int MasterIndex(const std::string &fdinfo) {
  std::ifstream in(fdinfo);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("tty-index:", 0) == 0)
      return std::atoi(line.c_str() + 10);
  return -1;
}

bool IsPtmx(const struct stat &st) {
  return S_ISCHR(st.st_mode) && major(st.st_rdev) == 5 && minor(st.st_rdev) == 2;
}

// One process's descriptors: does it hold the device, and is it the pseudo-terminal's far end?
bool HoldsDevice(const std::string &procDir, dev_t rdev, int ptyIndex) {
  DIR *fds = opendir((procDir + "/fd").c_str());
  if (!fds)
    return false;
  bool holds = false, farEnd = false;
  while (dirent *e = readdir(fds)) {
    if (!IsNumber(e->d_name))
      continue;
    struct stat st;
    if (stat((procDir + "/fd/" + e->d_name).c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
      continue;
    if (st.st_rdev == rdev)
      holds = true;
    else if (ptyIndex >= 0 && IsPtmx(st) && MasterIndex(procDir + "/fdinfo/" + e->d_name) == ptyIndex)
      farEnd = true;
  }
  closedir(fds);
  return holds && !farEnd;
}

bool Alive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

// A UUCP lock file holds the owner's process id as text (usually in 10 columns), or in old
// programs as a binary int.
pid_t LockOwner(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  char buffer[64] = {};
  in.read(buffer, sizeof buffer - 1);
  // A binary pid is below 2^22, so its last byte is 0; text never holds one.
  if (in.gcount() == static_cast<std::streamsize>(sizeof(int)) && buffer[3] == 0) {
    int binary;
    std::memcpy(&binary, buffer, sizeof binary);
    return binary > 0 ? binary : 0;
  }
  const long text = std::strtol(buffer, nullptr, 10);
  return text > 0 && text < INT_MAX ? static_cast<pid_t>(text) : 0;
}

std::optional<TPortHolder> FromLockFiles(const std::string &device) {
  // Programs name the lock after the device's base name ("ttyUSB0") or its path below /dev with
  // the slashes replaced ("pts_3").
  std::string names[2];
  names[0] = device.substr(device.find_last_of('/') + 1);
  if (device.rfind("/dev/", 0) == 0) {
    names[1] = device.substr(5);
    for (char &c : names[1])
      if (c == '/')
        c = '_';
  }
  for (const auto &name : names) {
    if (name.empty())
      continue;
    const pid_t pid = LockOwner(UucpLockDirectory() + "/LCK.." + name);
    if (pid != getpid() && Alive(pid))
      return TPortHolder{pid, ProgramOf(pid)};
  }
  return std::nullopt;
}

} // namespace

std::string &UucpLockDirectory() {
  static std::string dir = "/run/lock";
  return dir;
}

std::optional<TPortHolder> FindPortHolder(const std::string &path) {
  struct stat target;
  if (stat(path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode))
    return std::nullopt;
  const int ptyIndex = PtyIndex(target.st_rdev);
  const pid_t self = getpid();
  for (const pid_t pid : ProcessIds())
    if (pid != self && HoldsDevice("/proc/" + std::to_string(pid), target.st_rdev, ptyIndex))
      return TPortHolder{pid, ProgramOf(pid)};
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved))
    return FromLockFiles(resolved);
  return std::nullopt;
}
