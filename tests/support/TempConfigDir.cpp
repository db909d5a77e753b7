#include "tests/support/TempConfigDir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempConfigDir::TempConfigDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kstune-test-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  if (const char *old = std::getenv("XDG_CONFIG_HOME")) {
    hadOld_ = true;
    oldValue_ = old;
  }
  setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
  if (const char *old = std::getenv("XDG_CONFIG_DIRS")) {
    hadOldDirs_ = true;
    oldDirs_ = old;
  }
  setenv("XDG_CONFIG_DIRS", (root_ / "system").c_str(), 1);
}

TempConfigDir::~TempConfigDir() {
  if (hadOld_)
    setenv("XDG_CONFIG_HOME", oldValue_.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  if (hadOldDirs_)
    setenv("XDG_CONFIG_DIRS", oldDirs_.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_DIRS");
  std::error_code ec;
  // A test may have made files read-only to provoke failures; give write access back first.
  for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ec);
  std::filesystem::permissions(root_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(root_, ec);
}

std::filesystem::path TempConfigDir::WriteFile(const std::string &name, const std::string &bytes) const {
  std::filesystem::create_directories(KstuneDir());
  const auto path = KstuneDir() / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return path;
}

std::filesystem::path TempConfigDir::WriteSystemFile(const std::string &name, const std::string &bytes) const {
  std::filesystem::create_directories(SystemKstuneDir());
  const auto path = SystemKstuneDir() / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return path;
}

std::string TempConfigDir::ReadFile(const std::string &name) const {
  std::ifstream in(KstuneDir() / name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::filesystem::path TempConfigDir::LinkCom(int n, const std::filesystem::path &target) const {
  std::filesystem::create_directories(KstuneDir());
  const auto link = KstuneDir() / ("com" + std::to_string(n));
  std::filesystem::remove(link);
  std::filesystem::create_symlink(target, link);
  return link;
}
