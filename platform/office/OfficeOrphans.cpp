#include "platform/office/OfficeOrphans.h"

#include "platform/office/FileUrl.h"
#include "os/ProcessTable.h"
#include "platform/office/ProfileOwner.h"

#include <rtl/digest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

std::string OfficeProfileArgument(const std::filesystem::path &folder) {
  return "-env:UserInstallation=" + FileUrl(folder);
}

void EndOrphanedInstances() {
  std::vector<std::filesystem::path> orphans;
  std::error_code ec;
  for (const auto &entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path(), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(OfficeFolderPrefix, 0) == 0 && entry.is_directory(ec) && ProfileOwnerGone(entry.path()))
      orphans.push_back(entry.path());
  }
  if (orphans.empty())
    return;
  // Only the office's own processes: each was started with exactly this argument. A stranger
  // whose command line merely mentions the folder, and the group it runs in, are none of ours.
  for (const auto &folder : orphans) {
    const std::string argument = OfficeProfileArgument(folder);
    for (const auto &process : Processes())
      if (HasArgument(process, argument))
        kill(process.Pid, SIGKILL);
  }
  for (const auto &folder : orphans) {
    std::filesystem::remove_all(folder, ec);
    RemovePipeFiles(folder);
  }
}

void RemovePipeFiles(const std::filesystem::path &folder) {
  const std::string prefix = "/tmp/OSL_PIPE_" + std::to_string(getuid()) + "_";
  // The profile pipe is named after the MD5 of the profile's URL in UTF-16, each byte in
  // hexadecimal without its leading zero. The URL is ASCII, percent-encoded.
  const std::string url = FileUrl(folder);
  const std::u16string wide(url.begin(), url.end());
  sal_uInt8 digest[RTL_DIGEST_LENGTH_MD5];
  rtl_digest_MD5(wide.data(), static_cast<sal_uInt32>(wide.size() * sizeof(char16_t)), digest, sizeof digest);
  std::string hex;
  for (const sal_uInt8 byte : digest) {
    char text[3];
    std::snprintf(text, sizeof text, "%x", byte);
    hex += text;
  }
  std::error_code ec;
  std::filesystem::remove(prefix + "SingleOfficeIPC_" + hex, ec);
  std::filesystem::remove(prefix + folder.filename().string(), ec);
}
