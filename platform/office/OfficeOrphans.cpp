#include "platform/office/OfficeOrphans.h"

#include "platform/office/ProcessTable.h"

#include <csignal>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char *const OwnerFile = "owner";

bool OwnerGone(const std::filesystem::path &folder) {
  std::ifstream in(folder / OwnerFile);
  long pid = 0;
  unsigned long long startTime = 0;
  if (!(in >> pid >> startTime))
    return false;
  TProcessInfo owner;
  return !ReadProcess(static_cast<pid_t>(pid), owner) || owner.StartTime != startTime || owner.State == 'Z';
}

} // namespace

void WriteProfileOwner(const std::filesystem::path &folder) {
  TProcessInfo self;
  if (ReadProcess(getpid(), self))
    std::ofstream(folder / OwnerFile) << self.Pid << ' ' << self.StartTime << '\n';
}

void EndOrphanedInstances() {
  std::vector<std::filesystem::path> orphans;
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path(), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(OfficeFolderPrefix, 0) == 0 && entry.is_directory(ec) && OwnerGone(entry.path()))
      orphans.push_back(entry.path());
  }
  if (orphans.empty())
    return;
  for (const auto &process : Processes())
    for (const auto &folder : orphans)
      if (process.CommandLine.find(folder.string()) != std::string::npos) {
        if (process.Group > 1 && process.Group != getpgrp())
          kill(-process.Group, SIGKILL);
        kill(process.Pid, SIGKILL);
      }
  for (const auto &folder : orphans) {
    std::filesystem::remove_all(folder, ec);
    std::filesystem::remove("/tmp/OSL_PIPE_" + std::to_string(getuid()) + "_" + folder.filename().string(), ec);
  }
}
