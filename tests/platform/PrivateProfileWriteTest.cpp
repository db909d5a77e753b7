#include "platform/PrivateProfile.h"
#include "runtime/Exception.h"
#include "tests/support/Spawn.h"
#include "tests/support/TempConfigDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Entries(const fs::path &dir) {
  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// What a write did in a child process: "ok", or the error's code and message.
struct Outcome {
  bool raised = false;
  int code = 0;
  std::string message;
};

// Runs the write in a child process, so that what provokes the failure (a lower identity, a
// file size limit) stays there.
Outcome WriteInChild(const std::function<void()> &prepare, const std::string &fileName) {
  const std::optional<std::string> report = InForkedChild([&] {
    try {
      prepare();
      WritePrivateProfileString("All", "Poz", "KS47", fileName);
    } catch (const EInOutError &e) {
      return std::to_string(e.ErrorCode) + " " + e.Message;
    } catch (const std::exception &e) {
      return std::string("-1 unexpected: ") + e.what();
    }
    return std::string("ok");
  });
  Outcome outcome;
  if (!report) {
    outcome.raised = true;
    outcome.code = -1;
    outcome.message = "the child ended without a report";
  } else if (*report != "ok") {
    outcome.raised = true;
    outcome.code = std::stoi(*report);
    outcome.message = report->substr(report->find(' ') + 1);
  }
  return outcome;
}

} // namespace

TEST(PrivateProfileWrite, KeepsEveryOtherLineOfTheFile) {
  const struct {
    std::optional<std::string> before; // nullopt: no file
    const char *section, *key, *value;
    std::string after;
  } cases[] = {
      {std::nullopt, "All", "Poz", "KS41", "[All]\r\nPoz=KS41\r\n"},
      {"", "KS41", "CORF", "130", "[KS41]\r\nCORF=130\r\n"},
      {"; kept\r\n[all]\r\n  POZ = KS43 \r\nPort=2\r\n\r\n[KS41]\r\nCORF=1\r\n", "All", "Poz", "KS45",
       "; kept\r\n[all]\r\nPOZ=KS45\r\nPort=2\r\n\r\n[KS41]\r\nCORF=1\r\n"},
      {"[All]\nPoz=1\nPort=2\n", "All", "Poz", "2", "[All]\nPoz=2\r\nPort=2\n"},
      {"[All]\rPoz=1\rPort=2", "All", "Port", "1", "[All]\rPoz=1\rPort=1\r\n"},
      {"[All]\r\nPort=2\r\n; note\r\n\r\n[KS41]\r\nCORF=1\r\n", "All", "Poz", "X",
       "[All]\r\nPort=2\r\nPoz=X\r\n; note\r\n\r\n[KS41]\r\nCORF=1\r\n"},
      {"[All]\r\n; nothing yet\r\n[KS41]\r\n", "All", "Poz", "X",
       "[All]\r\nPoz=X\r\n; nothing yet\r\n[KS41]\r\n"},
      {"[All]\r\nPort=2", "All", "Poz", "X", "[All]\r\nPort=2\r\nPoz=X\r\n"},
      {"[KS41]\r\nCORF=1", "All", "Poz", "X", "[KS41]\r\nCORF=1\r\n[All]\r\nPoz=X\r\n"},
      {"; only a comment\n", "All", "Poz", "X", "; only a comment\n[All]\r\nPoz=X\r\n"},
      {"Poz=orphan\r\n", "All", "Poz", "X", "Poz=orphan\r\n[All]\r\nPoz=X\r\n"},
      {"[All]\r\nPort=2\r\n[All]\r\nPoz=old\r\n", "All", "Poz", "X",
       "[All]\r\nPort=2\r\nPoz=X\r\n[All]\r\nPoz=old\r\n"},
      {"\xEF\xBB\xBF[All]\r\nPoz=1\r\n", "All", "Poz", "", "\xEF\xBB\xBF[All]\r\nPoz=\r\n"},
  };
  for (const auto &c : cases) {
    TempConfigDir dir;
    const fs::path path = dir.KstuneDir() / "Q417Options.ini";
    if (c.before)
      dir.WriteFile("Q417Options.ini", *c.before);
    WritePrivateProfileString(c.section, c.key, c.value, path.string());
    const std::string label = testing::PrintToString(c.before.value_or("(no file)"));
    EXPECT_EQ(dir.ReadFile("Q417Options.ini"), c.after) << label;
    EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "?", path.string()), c.value) << label;
    EXPECT_EQ(Entries(dir.KstuneDir()), std::vector<std::string>{"Q417Options.ini"}) << label;
  }
}

TEST(PrivateProfileWrite, RefusesWhatCouldNotBeReadBack) {
  const struct {
    const char *section, *key, *value;
  } cases[] = {
      {"All", "Poz", "KS41\r\n[Evil]"},
      {"All", "Poz", "a\nb"},
      {"All", "Po=z", "1"},
      {"A]ll", "Poz", "1"},
      {"", "Poz", "1"},
      {"All", "", "1"},
      {"All", " Poz", "1"},
      {"All", ";Poz", "1"},
  };
  TempConfigDir dir;
  const std::string before = "[All]\r\nPoz=KS41\r\n";
  const std::string path = dir.WriteFile("Q417Options.ini", before).string();
  for (const auto &c : cases) {
    EXPECT_THROW(WritePrivateProfileString(c.section, c.key, c.value, path), EInOutError) << c.key << c.value;
    EXPECT_EQ(dir.ReadFile("Q417Options.ini"), before);
  }
}

TEST(PrivateProfileWrite, AFailedWriteLeavesTheOldFileAndSaysWhy) {
  const std::string before = "; hand-made\r\n[All]\r\nPoz=KS41\r\nPort=1\r\n";
  const struct {
    const char *what;
    std::function<std::string(const TempConfigDir &)> arrange; // returns the options file path
    std::function<void()> inChild;
    int code;
  } cases[] = {
      {"read-only directory",
       [&](const TempConfigDir &dir) {
         const auto path = dir.WriteFile("Q417Options.ini", before);
         // Root ignores permissions, so the child then writes as an unprivileged user.
         fs::permissions(dir.Root(), fs::perms(0755));
         fs::permissions(path, fs::perms(0644));
         fs::permissions(dir.KstuneDir(), fs::perms(0555));
         return path.string();
       },
       [] {
         if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
           throw std::runtime_error("cannot drop privileges");
       },
       EACCES},
      {"file size limit reached mid-write",
       [&](const TempConfigDir &dir) { return dir.WriteFile("Q417Options.ini", before).string(); },
       [] {
         std::signal(SIGXFSZ, SIG_IGN);
         const rlimit limit{10, 10};
         setrlimit(RLIMIT_FSIZE, &limit);
       },
       EFBIG},
      {"options file made read-only by the technician",
       [&](const TempConfigDir &dir) {
         const auto path = dir.WriteFile("Q417Options.ini", before);
         fs::permissions(path, fs::perms(0444));
         return path.string();
       },
       [] {}, EACCES},
      {"options file is a directory",
       [](const TempConfigDir &dir) {
         fs::create_directories(dir.KstuneDir() / "Q417Options.ini" / "inside");
         return (dir.KstuneDir() / "Q417Options.ini").string();
       },
       [] {}, EISDIR},
      {"stand-in directory is a plain file",
       [&](const TempConfigDir &dir) {
         fs::create_directories(dir.Root());
         std::ofstream(dir.KstuneDir()) << before;
         return (dir.KstuneDir() / "Q417Options.ini").string();
       },
       [] {}, ENOTDIR},
  };
  for (const auto &c : cases) {
    TempConfigDir dir;
    const std::string path = c.arrange(dir);
    const auto entriesBefore = Entries(fs::is_directory(dir.KstuneDir()) ? dir.KstuneDir() : dir.Root());
    const Outcome outcome = WriteInChild(c.inChild, path);
    ASSERT_TRUE(outcome.raised) << c.what << ": the write succeeded";
    EXPECT_EQ(outcome.code, c.code) << c.what << ": " << outcome.message;
    EXPECT_NE(outcome.message.find('"' + path + '"'), std::string::npos) << c.what << ": " << outcome.message;
    EXPECT_EQ(Entries(fs::is_directory(dir.KstuneDir()) ? dir.KstuneDir() : dir.Root()), entriesBefore)
        << c.what;
    if (fs::is_regular_file(path))
      EXPECT_EQ(dir.ReadFile("Q417Options.ini"), before) << c.what;
    else if (fs::is_regular_file(dir.KstuneDir())) {
      std::ifstream in(dir.KstuneDir());
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before) << c.what;
    }
  }
}
