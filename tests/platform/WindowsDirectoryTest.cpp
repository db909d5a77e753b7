#include "platform/WindowsDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace {

// Sets or clears a variable for one scope.
class ScopedVariable {
public:
  ScopedVariable(const char *name, std::optional<std::string> value) : name_(name) {
    if (const char *old = std::getenv(name))
      old_ = old;
    Apply(value);
  }
  ~ScopedVariable() { Apply(old_); }

private:
  void Apply(const std::optional<std::string> &value) {
    if (value)
      setenv(name_, value->c_str(), 1);
    else
      unsetenv(name_);
  }
  const char *name_;
  std::optional<std::string> old_;
};

} // namespace

TEST(WindowsDirectory, FollowsXdgConfigHomeThenHome) {
  const passwd *entry = getpwuid(getuid());
  const std::string passwdHome = entry && entry->pw_dir ? entry->pw_dir : "/tmp";
  const struct {
    std::optional<std::string> xdg, home;
    std::string expected;
  } cases[] = {
      {"/x/conf", "/home/t", "/x/conf/kstune"},
      {"/x/conf/", "/home/t", "/x/conf/kstune"},
      {"", "/home/t", "/home/t/.config/kstune"},
      {std::nullopt, "/home/t/", "/home/t/.config/kstune"},
      {std::nullopt, "", passwdHome + "/.config/kstune"},
      {std::nullopt, std::nullopt, passwdHome + "/.config/kstune"},
  };
  for (const auto &c : cases) {
    ScopedVariable xdg("XDG_CONFIG_HOME", c.xdg);
    ScopedVariable home("HOME", c.home);
    EXPECT_EQ(WindowsDirectory(), c.expected)
        << c.xdg.value_or("(unset)") << " " << c.home.value_or("(unset)");
  }
}

// The data folder (the journal's) follows the same rule as the configuration folder: a session
// without HOME finds the same home for both.
TEST(UserFolder, DataAndConfigurationByOneRule) {
  const passwd *entry = getpwuid(getuid());
  const std::string passwdHome = entry && entry->pw_dir ? entry->pw_dir : "/tmp";
  const struct {
    TUserFolder folder;
    const char *variable;
    std::optional<std::string> xdg, home;
    std::string expected;
  } cases[] = {
      {TUserFolder::Data, "XDG_DATA_HOME", "/x/data", "/home/t", "/x/data"},
      {TUserFolder::Data, "XDG_DATA_HOME", "/x/data//", "/home/t", "/x/data"},
      {TUserFolder::Data, "XDG_DATA_HOME", "", "/home/t/", "/home/t/.local/share"},
      {TUserFolder::Data, "XDG_DATA_HOME", std::nullopt, "", passwdHome + "/.local/share"},
      {TUserFolder::Data, "XDG_DATA_HOME", std::nullopt, std::nullopt, passwdHome + "/.local/share"},
      {TUserFolder::Config, "XDG_CONFIG_HOME", std::nullopt, "/", "/.config"},
      {TUserFolder::Config, "XDG_CONFIG_HOME", "/", "/home/t", ""},
  };
  for (const auto &c : cases) {
    ScopedVariable xdg(c.variable, c.xdg);
    ScopedVariable home("HOME", c.home);
    EXPECT_EQ(UserFolder(c.folder), c.expected) << c.variable << "=" << c.xdg.value_or("(unset)")
                                                << " HOME=" << c.home.value_or("(unset)");
  }
}
