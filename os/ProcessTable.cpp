#include "os/ProcessTable.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

bool ReadProcess(pid_t pid, TProcessInfo &info) {
  const std::filesystem::path dir = "/proc/" + std::to_string(pid);
  std::ifstream stat(dir / "stat");
  std::string text;
  if (!std::getline(stat, text))
    return false;
  // The command name may hold blanks and parentheses: the fields start after the last ")".
  const auto close = text.rfind(')');
  if (close == std::string::npos)
    return false;
  std::istringstream fields(text.substr(close + 1));
  info.Pid = pid;
  long parent = 0, group = 0;
  if (!(fields >> info.State >> parent >> group))
    return false;
  info.Group = static_cast<pid_t>(group);
  // Fields 6..21 of stat lie between the group and the start time.
  std::string skipped;
  for (int field = 6; field <= 21; ++field)
    fields >> skipped;
  if (!(fields >> info.StartTime))
    return false;
  std::ifstream cmdline(dir / "cmdline", std::ios::binary);
  info.CommandLine.assign(std::istreambuf_iterator<char>(cmdline), std::istreambuf_iterator<char>());
  return true;
}

bool HasArgument(const TProcessInfo &process, const std::string &argument) {
  size_t start = 0;
  while (start < process.CommandLine.size()) {
    size_t end = process.CommandLine.find('\0', start);
    if (end == std::string::npos)
      end = process.CommandLine.size();
    if (process.CommandLine.compare(start, end - start, argument) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

std::vector<pid_t> ProcessIds() {
  std::vector<pid_t> ids;
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos)
      ids.push_back(static_cast<pid_t>(std::atol(name.c_str())));
  }
  return ids;
}

std::vector<TProcessInfo> Processes() {
  std::vector<TProcessInfo> processes;
  for (const pid_t pid : ProcessIds()) {
    TProcessInfo info;
    if (ReadProcess(pid, info))
      processes.push_back(std::move(info));
  }
  return processes;
}
