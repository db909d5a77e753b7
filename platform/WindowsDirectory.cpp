#include "platform/WindowsDirectory.h"

#include <algorithm>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

std::string NonEmptyVariable(const char *name) {
  const char *value = std::getenv(name);
  return value ? value : "";
}

// "/" becomes "", so that joining never doubles a slash.
std::string WithoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/')
    path.pop_back();
  return path;
}

} // namespace

// A session without HOME (a service, cron) still has a home in the password database.
std::string HomeDirectory() {
  std::string home = NonEmptyVariable("HOME");
  if (home.empty())
    if (const passwd *entry = getpwuid(getuid()); entry && entry->pw_dir)
      home = entry->pw_dir;
  return WithoutTrailingSlashes(home.empty() ? "/tmp" : home);
}

std::string UserFolder(TUserFolder folder) {
  const bool config = folder == TUserFolder::Config;
  const std::string xdg = NonEmptyVariable(config ? "XDG_CONFIG_HOME" : "XDG_DATA_HOME");
  return xdg.empty() ? HomeDirectory() + (config ? "/.config" : "/.local/share") : WithoutTrailingSlashes(xdg);
}

std::string WindowsDirectory() { return UserFolder(TUserFolder::Config) + "/kstune"; }

std::vector<std::string> SystemDirectories() {
  std::string list = NonEmptyVariable("XDG_CONFIG_DIRS");
  if (list.empty())
    list = "/etc/xdg";
  std::vector<std::string> folders;
  size_t begin = 0;
  while (begin <= list.size()) {
    const size_t end = std::min(list.find(':', begin), list.size());
    const std::string entry = list.substr(begin, end - begin);
    // "/" itself is absolute too; it only loses its slash.
    if (!entry.empty() && entry.front() == '/')
      folders.push_back(WithoutTrailingSlashes(entry) + "/kstune");
    begin = end + 1;
  }
  return folders;
}

std::vector<std::string> SystemCounterparts(const std::string &fileName) {
  const size_t slash = fileName.rfind('/');
  if (slash == std::string::npos || slash + 1 == fileName.size() || fileName.substr(0, slash) != WindowsDirectory())
    return {};
  std::vector<std::string> files;
  for (const std::string &folder : SystemDirectories())
    files.push_back(folder + fileName.substr(slash));
  return files;
}
