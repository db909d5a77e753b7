#include "platform/office/StoreFiles.h"

#include "os/FileAccess.h"

#include <cstdlib>
#include <vector>

namespace {

const std::string Prefix = ".~kstune.";
const std::string LockPrefix = ".~lock.";

// The process id of a temporary file of report, or 0 when the name is none.
pid_t StorePid(const std::string &name, const std::string &reportName) {
  if (name.rfind(Prefix, 0) != 0)
    return 0;
  const auto dot = name.find('.', Prefix.size());
  if (dot == std::string::npos || name.substr(dot + 1) != reportName)
    return 0;
  const std::string digits = name.substr(Prefix.size(), dot - Prefix.size());
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9)
    return 0;
  return static_cast<pid_t>(std::atol(digits.c_str()));
}

} // namespace

std::string StoreTemporaryName(const std::filesystem::path &report, pid_t pid) {
  return Prefix + std::to_string(pid) + "." + report.filename().string();
}

void RemoveDeadStoreFiles(const std::filesystem::path &report) {
  std::error_code ec;
  std::filesystem::path real = std::filesystem::weakly_canonical(report, ec);
  if (ec)
    real = report;
  const std::string reportName = real.filename().string();
  std::vector<std::filesystem::path> dead;
  for (const auto &entry : std::filesystem::directory_iterator(real.parent_path(), ec)) {
    std::string name = entry.path().filename().string();
    // The office's lock of a temporary file may outlive the file.
    if (name.size() > LockPrefix.size() + 1 && name.rfind(LockPrefix, 0) == 0 && name.back() == '#')
      name = name.substr(LockPrefix.size(), name.size() - LockPrefix.size() - 1);
    const pid_t pid = StorePid(name, reportName);
    if (pid != 0 && !ProcessExists(pid))
      dead.push_back(entry.path());
  }
  for (const auto &path : dead)
    std::filesystem::remove(path, ec);
}
