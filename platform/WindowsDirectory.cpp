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

// "/" becomes "", so that joining never doubles a slash.
std::string WithoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/')
    path.pop_back();
  return path;
}

} // namespace

std::string WindowsDirectory() {
  const std::string xdg = NonEmptyVariable("XDG_CONFIG_HOME");
  const std::string base =
      xdg.empty() ? WithoutTrailingSlashes(HomeDirectory()) + "/.config" : WithoutTrailingSlashes(xdg);
  return base + "/kstune";
}
