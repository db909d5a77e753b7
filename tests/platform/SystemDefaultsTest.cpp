// A bench set up once: an administrator's options file and com links under the user's own.
#include "platform/CommDevice.h"
#include "platform/IniFile.h"
#include "platform/OptionsFile.h"
#include "platform/PrivateProfile.h"
#include "platform/WindowsDirectory.h"
#include "tests/support/TempConfigDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char *const kDefault = "<default>";

std::string Bytes(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The administrator's file and the user's, disagreeing.
const char *const kSystemFile = "[All]\r\n"
                                "Poz=KS43\r\n"
                                "Port=2\r\n"
                                "Empty=from the system\r\n"
                                "[KS41]\r\n"
                                "CORF=130\r\n"
                                "AF1=7\r\n"
                                "[Journal]\r\n"
                                "Database=postgresql://bench@db.factory/kstune\r\n";
const char *const kUserFile = "[all]\r\n"
                              "POZ=KS41\r\n"
                              "Empty=\r\n"
                              "[KS41]\r\n"
                              "CORF=140\r\n"
                              "[KS45]\r\n"
                              "DEV=90\r\n";

class SystemDefaults : public ::testing::Test {
protected:
  fs::path Options() const { return dir.KstuneDir() / "Q417Options.ini"; }
  TempConfigDir dir;
};

} // namespace

TEST_F(SystemDefaults, TheUsersFileWinsKeyByKey) {
  dir.WriteSystemFile("Q417Options.ini", kSystemFile);
  dir.WriteFile("Q417Options.ini", kUserFile);
  const struct {
    const char *section, *key, *expected;
  } rows[] = {
      {"All", "Poz", "KS41"},      // both have it: the user's, whatever the case of its names
      {"All", "Port", "2"},        // a key the user's section lacks
      {"All", "Empty", ""},        // a key the user has, even empty, is his
      {"KS41", "CORF", "140"},     // key by key inside one section
      {"KS41", "AF1", "7"},
      {"KS45", "DEV", "90"},       // the user's alone
      {"Journal", "Database", "postgresql://bench@db.factory/kstune"}, // a section only the system has
      {"KS47", "CORF", kDefault},  // neither
  };
  const TIniFile options(Options().string());
  for (const auto &r : rows)
    EXPECT_EQ(options.ReadString(r.section, r.key, kDefault), r.expected) << "[" << r.section << "] " << r.key;
  EXPECT_EQ(options.ReadInteger("All", "Port", 1), 2);
}

// Both programs take the factory database from here: the user's key (even empty) over the
// administrator's, blanks around the URI dropped, quoted or not.
TEST_F(SystemDefaults, TheFactoryDatabaseOfTheOptionsFile) {
  EXPECT_EQ(OptionsFilePath(), Options().string());
  const struct {
    std::optional<std::string> system, user;
    const char *expected;
  } rows[] = {
      {std::nullopt, std::nullopt, ""},
      {kSystemFile, std::nullopt, "postgresql://bench@db.factory/kstune"},
      {kSystemFile, kUserFile, "postgresql://bench@db.factory/kstune"}, // the user's file lacks [Journal]
      {kSystemFile, "[Journal]\r\nDatabase=\r\n", ""},                  // blanked out by the user
      {std::nullopt, "[journal]\ndatabase = \t postgresql://a@b/c \t\n", "postgresql://a@b/c"},
      {std::nullopt, "[Journal]\nDatabase=\" postgresql://a@b/c \"\n", "postgresql://a@b/c"},
      {std::nullopt, "[Journal]\nDatabase=\"  \"\n", ""},
  };
  for (const auto &r : rows) {
    fs::remove(Options());
    fs::remove(dir.SystemKstuneDir() / "Q417Options.ini");
    if (r.system)
      dir.WriteSystemFile("Q417Options.ini", *r.system);
    if (r.user)
      dir.WriteFile("Q417Options.ini", *r.user);
    EXPECT_EQ(FactoryDatabaseSetting(), r.expected) << r.user.value_or("(no user file)");
  }
}

TEST_F(SystemDefaults, WithoutAUserFileTheSystemFileIsTheOptions) {
  dir.WriteSystemFile("Q417Options.ini", kSystemFile);
  EXPECT_EQ(GetPrivateProfileString("All", "Poz", kDefault, Options().string()), "KS43");
  EXPECT_EQ(GetPrivateProfileString("Journal", "Database", kDefault, Options().string()),
            "postgresql://bench@db.factory/kstune");
  EXPECT_FALSE(fs::exists(Options())) << "reading creates nothing";
}

// Several folders in $XDG_CONFIG_DIRS: the first that has the key wins; a relative entry does not count.
TEST_F(SystemDefaults, TheFirstSystemFolderWins) {
  const fs::path first = dir.Root() / "first", second = dir.Root() / "second", relative = "relative";
  fs::create_directories(first / "kstune");
  fs::create_directories(second / "kstune");
  std::ofstream(first / "kstune" / "Q417Options.ini") << "[All]\nPoz=KS45\n";
  std::ofstream(second / "kstune" / "Q417Options.ini") << "[All]\nPoz=KS47\nPort=1\n[KS41]\nTUNE=55\n";
  setenv("XDG_CONFIG_DIRS", (relative.string() + ":" + first.string() + "/:" + second.string()).c_str(), 1);
  dir.WriteFile("Q417Options.ini", "[KS41]\nCORF=1\n");
  const struct {
    const char *section, *key, *expected;
  } rows[] = {
      {"All", "Poz", "KS45"},
      {"All", "Port", "1"},
      {"KS41", "TUNE", "55"},
      {"KS41", "CORF", "1"},
  };
  for (const auto &r : rows)
    EXPECT_EQ(GetPrivateProfileString(r.section, r.key, kDefault, Options().string()), r.expected)
        << "[" << r.section << "] " << r.key;
}

// Only files of the user's kstune folder have defaults under them.
TEST_F(SystemDefaults, OtherFilesHaveNoDefaults) {
  dir.WriteSystemFile("Q417Options.ini", kSystemFile);
  dir.WriteSystemFile("report.ini", kSystemFile);
  const fs::path elsewhere = dir.Root() / "Q417Options.ini";
  std::ofstream(elsewhere) << "[KS45]\nDEV=1\n";
  EXPECT_EQ(GetPrivateProfileString("All", "Poz", kDefault, elsewhere.string()), kDefault);
  EXPECT_EQ(GetPrivateProfileString("All", "Poz", kDefault, (dir.KstuneDir() / "report.ini").string()), "KS43")
      << "any file name of the kstune folder";
}

TEST_F(SystemDefaults, WritesTouchTheUsersFileOnly) {
  const fs::path system = dir.WriteSystemFile("Q417Options.ini", kSystemFile);
  TIniFile options(Options().string());
  // Before any user file: the first write makes one holding that key only.
  options.WriteString("All", "Poz", "KS47");
  EXPECT_EQ(dir.ReadFile("Q417Options.ini"), "[All]\r\nPoz=KS47\r\n");
  options.WriteString("KS41", "CORF", "150");      // a section the user's file did not have
  options.WriteString("Journal", "Database", "");  // a user may blank out the factory database
  EXPECT_EQ(dir.ReadFile("Q417Options.ini"), "[All]\r\nPoz=KS47\r\n[KS41]\r\nCORF=150\r\n[Journal]\r\nDatabase=\r\n");
  EXPECT_EQ(Bytes(system), kSystemFile);
  const struct {
    const char *section, *key, *expected;
  } rows[] = {
      {"All", "Poz", "KS47"}, {"All", "Port", "2"}, {"KS41", "CORF", "150"}, {"KS41", "AF1", "7"}, {"Journal", "Database", ""},
  };
  for (const auto &r : rows)
    EXPECT_EQ(options.ReadString(r.section, r.key, kDefault), r.expected) << "[" << r.section << "] " << r.key;
}

// Read in turns, key by key, the two files must each be read anew when they change.
TEST_F(SystemDefaults, AChangedSystemFileCounts) {
  const fs::path system = dir.WriteSystemFile("Q417Options.ini", "[All]\nPort=2\n");
  dir.WriteFile("Q417Options.ini", "[All]\nPoz=KS41\n");
  const TIniFile options(Options().string());
  EXPECT_EQ(options.ReadString("All", "Port", kDefault), "2");
  std::ofstream(system, std::ios::trunc) << "[All]\nPort=1\nExtra=yes\n";
  EXPECT_EQ(options.ReadString("All", "Port", kDefault), "1");
  EXPECT_EQ(options.ReadString("All", "Extra", kDefault), "yes");
  EXPECT_EQ(options.ReadString("All", "Poz", kDefault), "KS41");
  fs::remove(system);
  EXPECT_EQ(options.ReadString("All", "Port", kDefault), kDefault);
}

TEST(SystemDirectories, FollowXdgConfigDirs) {
  const struct {
    std::optional<std::string> dirs;
    std::vector<std::string> expected;
  } rows[] = {
      {std::nullopt, {"/etc/xdg/kstune"}},
      {"", {"/etc/xdg/kstune"}},
      {"/a:/b/", {"/a/kstune", "/b/kstune"}},
      {"rel:/a::", {"/a/kstune"}},
      {"/", {"/kstune"}},
  };
  std::optional<std::string> old;
  if (const char *value = std::getenv("XDG_CONFIG_DIRS"))
    old = value;
  for (const auto &r : rows) {
    if (r.dirs)
      setenv("XDG_CONFIG_DIRS", r.dirs->c_str(), 1);
    else
      unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(SystemDirectories(), r.expected) << r.dirs.value_or("(unset)");
  }
  if (old)
    setenv("XDG_CONFIG_DIRS", old->c_str(), 1);
  else
    unsetenv("XDG_CONFIG_DIRS");
}

// COM links: the user's first, then the administrator's, then the serial port of that number.
TEST_F(SystemDefaults, ComLinksOfTheUserThenOfTheSystem) {
  fs::create_directories(dir.SystemKstuneDir());
  fs::create_symlink("/dev/ttyUSB0", dir.SystemKstuneDir() / "com1");
  fs::create_symlink("/dev/ttyUSB1", dir.SystemKstuneDir() / "com2");
  fs::create_symlink("/nonexistent", dir.SystemKstuneDir() / "com5");
  const fs::path userCom2 = dir.LinkCom(2, "/dev/pts/9");
  const struct {
    int number;
    const char *name;
    std::string path;
  } rows[] = {
      {1, "\\\\.\\COM1", (dir.SystemKstuneDir() / "com1").string()},
      {2, "\\\\.\\COM2", userCom2.string()},
      {5, "\\\\.\\COM5", (dir.SystemKstuneDir() / "com5").string()}, // dangling: a missing device, not ttyS4
      {3, "\\\\.\\COM3", "/dev/ttyS2"},
      {12, "\\\\.\\COM12", "/dev/ttyS11"},
  };
  for (const auto &r : rows) {
    EXPECT_EQ(CommDevicePath(r.name), r.path) << r.name;
    // Every caller names port n one way, and finds the same device by it.
    EXPECT_EQ(ComPortName(r.number), r.name);
    EXPECT_EQ(ComPortPath(r.number), r.path) << r.name;
    EXPECT_EQ(ComLinkPath(r.number), (dir.KstuneDir() / ("com" + std::to_string(r.number))).string());
  }
}
