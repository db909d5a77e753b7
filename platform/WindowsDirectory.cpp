#include "platform/WindowsDirectory.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

std::string NonEmptyVariable(const char *name) {
  const char *value = std::getenv(name);
  return value ? value : "";
}

// A session without HOME still has a home in the password database.
std::string HomeDirectory() {
  std::string home = NonEmptyVariable("HOME");
  if (home.empty())
    if (const passwd *entry = getpwuid(getuid()); entry && entry->pw_dir)
      home = entry->pw_dir;
  return home.empty() ? "/tmp" : home;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

} // namespace

std::string WindowsDirectory() {
  std::string base = NonEmptyVariable("XDG_CONFIG_HOME");
  if (base.empty())
    base = WithoutTrailingSlashes(HomeDirectory()) + "/.config";
  base = WithoutTrailingSlashes(base);
  return (base == "/" ? "" : base) + "/kstune";
}
