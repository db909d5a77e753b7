// What the report keeps on disk besides the workbook, without starting an office: the office's
// lock files and the profile folders they name, the folders and processes a dead program left
// behind, and the temporary files of a store.
#include "platform/office/DocumentLock.h"
#include "platform/office/FileUrl.h"
#include "platform/office/OfficeOrphans.h"
#include "os/ProcessTable.h"
#include "platform/office/ProfileOwner.h"
#include "platform/office/StoreFiles.h"
#include "tests/support/Spawn.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class Folder {
public:
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "kstune-files-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path &Path() const { return path_; }

private:
  fs::path path_;
};

std::string ThisUser() { return getpwuid(geteuid())->pw_name; }

std::string ThisHost() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

// A process id that no process has: a child that has ended and been reaped.
pid_t GonePid() {
  const pid_t pid = fork();
  if (pid == 0)
    _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

// A profile folder whose owner file names a process that is gone.
void WriteGoneOwner(const fs::path &folder) { std::ofstream(folder / "owner") << GonePid() << " 1\n"; }

bool Alive(pid_t pid) {
  TProcessInfo info;
  return ReadProcess(pid, info) && info.State != 'Z';
}

} // namespace

TEST(OfficeFileUrlPath, GivesBackThePathOfEveryUrl) {
  for (const char *path : {"/tmp/kstune-office-a b", "/tmp/папка отчетов/r.xls", "/tmp/a+b/c#1%.xls",
                           "/tmp/plain/r.xls"})
    EXPECT_EQ(FileUrlPath(FileUrl(path)), fs::path(path)) << path;
  EXPECT_EQ(FileUrlPath("file:///tmp/a%20b/%D1%8B"), fs::path("/tmp/a b/ы"));
  EXPECT_EQ(FileUrlPath("file:///tmp/100%"), fs::path("/tmp/100%"));
  EXPECT_EQ(FileUrlPath("http://host/x"), fs::path());
}

// The lock of a living kstune whose profile lies in a folder whose name needs escaping in a URL
// is that kstune's, not a stale one; once its owner is gone it is stale and is taken over.
TEST(OfficeDocumentLock, AnEscapedProfilePathIsReadAsTheFolderItNames) {
  Folder folder;
  for (const char *name : {"kstune-office-a b", "kstune-office-отчет", "kstune-office-a+b"}) {
    SCOPED_TRACE(name);
    const fs::path profile = folder.Path() / "tmp dir" / name;
    fs::create_directories(profile);
    WriteProfileOwner(profile);
    const fs::path report = folder.Path() / "r.xls";
    std::ofstream(report) << "x";
    const std::string lockText =
        "," + ThisUser() + "," + ThisHost() + ",07.12.2026 10:00," + FileUrl(profile) + ";";
    std::ofstream(DocumentLockPath(report)) << lockText;

    const auto held = HeldDocumentLock(report);
    ASSERT_TRUE(held.has_value()) << "the lock of a living kstune was taken for a stale one";
    EXPECT_EQ(LockHolder(*held), "kstune (" + ThisUser() + "@" + ThisHost() + ")");
    EXPECT_TRUE(fs::exists(DocumentLockPath(report)));

    WriteGoneOwner(profile);
    EXPECT_FALSE(HeldDocumentLock(report).has_value());
    EXPECT_FALSE(fs::exists(DocumentLockPath(report)));
  }
}

// The office keeps its lock beside the file a link leads to; so does kstune look for it.
TEST(OfficeDocumentLock, AReportReachedThroughALinkHasItsLockBesideItsTarget) {
  Folder folder;
  fs::create_directories(folder.Path() / "real");
  fs::create_directories(folder.Path() / "links");
  const fs::path report = folder.Path() / "real" / "r.xls";
  const fs::path link = folder.Path() / "links" / "отчет.xls";
  std::ofstream(report) << "x";
  fs::create_symlink(report, link);
  std::ofstream(folder.Path() / "real" / ".~lock.r.xls#")
      << "Иван Петров,ivan,bench-pc,07.12.2026 10:00,file:///home/ivan/.config/libreoffice/4;";

  EXPECT_EQ(DocumentLockPath(link), folder.Path() / "real" / ".~lock.r.xls#");
  const auto held = HeldDocumentLock(link);
  ASSERT_TRUE(held.has_value());
  EXPECT_EQ(LockHolder(*held), "Иван Петров (ivan@bench-pc)");
  EXPECT_TRUE(fs::is_symlink(link));
}

// The profile folder of a dead kstune goes, and so do the processes started with exactly that
// profile; an unrelated process group whose command line merely names the folder is left alone.
TEST(OfficeOrphans, OnlyProcessesStartedWithTheExactProfileAreEnded) {
  Folder temp;
  const char *previous = std::getenv("TMPDIR");
  const std::string saved = previous ? previous : "";
  setenv("TMPDIR", temp.Path().c_str(), 1);
  const fs::path orphan = temp.Path() / "kstune-office-orphan1";
  fs::create_directories(orphan / "user");
  WriteGoneOwner(orphan);

  // A stranger in a session (and group) of its own: a shell naming the folder, and its child.
  const fs::path strangerPid = temp.Path() / "stranger.pid";
  const pid_t stranger =
      SpawnProgram({"/usr/bin/setsid", "/bin/sh", "-c", "sleep 600 & echo $! > \"$1\"; wait", "sh",
                    strangerPid.string(), (orphan / "user").string()},
                   {});
  // What an instance of that profile looks like: the exact argument among its own.
  const pid_t office = SpawnProgram(
      {"/bin/sh", "-c", "while :; do sleep 0.1; done", "soffice", "--headless", OfficeProfileArgument(orphan)},
      {});
  ASSERT_GT(stranger, 0);
  ASSERT_GT(office, 0);
  pid_t strangerChild = 0;
  for (int i = 0; i < 500 && strangerChild == 0; ++i) {
    std::this_thread::sleep_for(10ms);
    std::ifstream(strangerPid) >> strangerChild;
  }
  ASSERT_GT(strangerChild, 0);

  EndOrphanedInstances();

  int status = 0;
  for (int i = 0; i < 500 && waitpid(office, &status, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the instance's process was not ended";
  EXPECT_FALSE(fs::exists(orphan));
  EXPECT_TRUE(Alive(strangerChild)) << "a stranger's process was killed";
  EXPECT_EQ(waitpid(stranger, &status, WNOHANG), 0) << "the stranger's group was killed";

  kill(strangerChild, SIGKILL);
  kill(stranger, SIGKILL);
  waitpid(stranger, &status, 0);
  if (previous)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

// A store of a program that died leaves its temporary file and the office's lock of it; the next
// "..." removes them. A living program's store, and every other file, stays.
TEST(OfficeStoreFiles, OnlyTheLeftoversOfGoneProgramsAreRemoved) {
  Folder folder;
  const fs::path report = folder.Path() / "r.xls";
  std::ofstream(report) << "x";
  const std::string gone = StoreTemporaryName(report, GonePid());
  EXPECT_EQ(gone.rfind(".~kstune.", 0), 0u) << gone;
  EXPECT_EQ(gone.substr(gone.size() - 6), ".r.xls") << gone;
  const std::string living = StoreTemporaryName(report, getpid());
  const std::string otherReport = StoreTemporaryName(folder.Path() / "r2.xls", GonePid());
  const std::string goneWithoutFile = StoreTemporaryName(report, GonePid());
  const struct {
    std::string name;
    bool kept;
  } rows[] = {
      {gone, false},
      {".~lock." + gone + "#", false},
      {living, true},
      {".~lock." + living + "#", true},
      {".~lock." + goneWithoutFile + "#", false},
      {otherReport, true},
      {".~kstune.x1.r.xls", true},
      {"r.xls", true},
  };
  for (const auto &row : rows)
    std::ofstream(folder.Path() / row.name) << "y";

  RemoveDeadStoreFiles(report);
  for (const auto &row : rows)
    EXPECT_EQ(fs::exists(folder.Path() / row.name), row.kept) << row.name;
}
