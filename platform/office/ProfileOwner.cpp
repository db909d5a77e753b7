#include "platform/office/ProfileOwner.h"

#include "os/ProcessTable.h"

#include <fstream>
#include <unistd.h>

namespace {
const char *const OwnerFile = "owner";
}

void WriteProfileOwner(const std::filesystem::path &folder) {
  TProcessInfo self;
  if (ReadProcess(getpid(), self))
    std::ofstream(folder / OwnerFile) << self.Pid << ' ' << self.StartTime << '\n';
}

bool ProfileOwnerGone(const std::filesystem::path &folder) {
  std::ifstream in(folder / OwnerFile);
  long pid = 0;
  unsigned long long startTime = 0;
  if (!(in >> pid >> startTime))
    return false;
  TProcessInfo owner;
  return !ReadProcess(static_cast<pid_t>(pid), owner) || owner.StartTime != startTime || owner.State == 'Z';
}
