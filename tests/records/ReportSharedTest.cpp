// A report others use too: their saves between "..." and "Запись" and during the store, their
// locks (also beside the file a link leads to), and our own lock.
#include "tests/records/ReportFixture.h"

#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace report_test;

namespace {

class ReportSharedTest : public ReportFixture {};

std::string ThisUser() {
  const passwd *user = getpwuid(geteuid());
  return user ? user->pw_name : "";
}

std::string ThisHost() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

// Another program writing the report (in place, as most do) each time the office starts to
// store it; until stopped.
class TSaveDuringStore {
public:
  TSaveDuringStore(const fs::path &profile, const fs::path &report, std::string bytes, bool everyTime)
      : report_(report), bytes_(std::move(bytes)), everyTime_(everyTime) {
    fs::create_directories(profile / "store");
    fd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    inotify_add_watch(fd_, (profile / "store").c_str(), IN_CREATE | IN_MOVED_TO);
    thread_ = std::thread([this] { Run(); });
  }
  ~TSaveDuringStore() {
    stop_ = true;
    thread_.join();
    close(fd_);
  }
  int Saves() const { return saves_; }

private:
  void Run() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0)
        continue;
      alignas(inotify_event) char events[4096];
      const ssize_t size = read(fd_, events, sizeof events);
      bool storing = false;
      for (ssize_t at = 0; at < size;) {
        const auto *event = reinterpret_cast<const inotify_event *>(events + at);
        // The office's new file itself, not its lock of it.
        storing = storing || (event->len > 0 && report_.filename() == event->name);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
      if (!storing || (!everyTime_ && saves_ > 0))
        continue;
      std::ofstream(report_, std::ios::binary | std::ios::trunc) << bytes_;
      ++saves_;
    }
  }

  fs::path report_;
  std::string bytes_;
  bool everyTime_;
  int fd_ = -1;
  std::atomic<bool> stop_ = false;
  std::atomic<int> saves_ = 0;
  std::thread thread_;
};

} // namespace

// Another program saves the report between "..." and "Запись", in place or by rename, moving the
// marker down: its cell stays, and the record goes below the marker where it is now.
TEST_F(ReportSharedTest, ASaveByAnotherProgramAfterOpenIsKept) {
  for (const bool byRename : {false, true}) {
    SCOPED_TRACE(byRename ? "saved by rename" : "saved in place");
    const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}});
    form.MainState.ParamValues = TParamValues();
    Open(path);

    // A program that ignores the lock: it writes the file over, or saves a new one in its place.
    const fs::path other = dir.Root() / "other.xls";
    Workbooks().Make(
        other, {{"Протокол", {{Text("шапка"), Text("чужая правка")}, {Text("Конец теста"), Text("")}}}});
    if (byRename)
      fs::rename(other, path);
    else
      std::ofstream(path, std::ios::binary | std::ios::trunc) << FileBytes(other);
    WriteReport(form);
    EXPECT_TRUE(boxes.Errors.empty());
    EXPECT_TRUE(boxes.Messages.empty());
    const TWorkbookContent expected = {{"Протокол",
                                        {{Text("шапка"), Text("чужая правка")},
                                         {Text("Конец теста"), Text("")},
                                         {Zeros, Text("")},
                                         {Zeros, Text("")}}}};
    EXPECT_EQ(Workbooks().Read(path), expected);
  }
}

// A report held by someone else (his lock file) is refused, naming him; while kstune holds a
// report its own lock is there, so another kstune is refused too; the lock goes with "Запись".
TEST_F(ReportSharedTest, AReportHeldBySomeoneElseIsRefusedAndOursIsLocked) {
  const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}});
  const fs::path lock = dir.Root() / ".~lock.r.xls#";
  const std::string theirs =
      "Иван Петров,ivan,bench-pc,07.12.2026 10:00,file:///home/ivan/.config/libreoffice/4;";
  std::ofstream(lock) << theirs;
  const std::string before = FileBytes(path);
  Open(path);
  ASSERT_EQ(boxes.Messages.size(), 1u);
  EXPECT_NE(boxes.Messages[0].find("Иван Петров (ivan@bench-pc), с 07.12.2026 10:00"), std::string::npos)
      << boxes.Messages[0];
  EXPECT_TRUE(profiles.empty());
  EXPECT_FALSE(form.BitBtn24->isEnabled());
  EXPECT_EQ(FileBytes(path), before);
  EXPECT_EQ(FileBytes(lock), theirs);

  fs::remove(lock);
  Open(path);
  ASSERT_EQ(profiles.size(), 1u);
  EXPECT_NE(FileBytes(lock).find(profiles[0]), std::string::npos) << FileBytes(lock);
  {
    TForm1 another;
    EnablePanels(another);
    OpenReport(another);
    ASSERT_EQ(boxes.Messages.size(), 2u);
    EXPECT_NE(boxes.Messages[1].find("kstune (" + ThisUser() + "@" + ThisHost() + ")"), std::string::npos)
        << boxes.Messages[1];
    EXPECT_FALSE(another.BitBtn24->isEnabled());
  }
  WriteReport(form);
  EXPECT_FALSE(fs::exists(lock));
  EXPECT_TRUE(boxes.Errors.empty());
}

// A lock left by a kstune of this user that died is taken over without a word.
TEST_F(ReportSharedTest, AStaleLockOfADeadKstuneIsTakenOver) {
  const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}});
  std::ofstream(dir.Root() / ".~lock.r.xls#")
      << "," << ThisUser() << "," << ThisHost() << ",07.12.2026 10:00,file:///tmp/kstune-office-gone0;";
  form.MainState.ParamValues = TParamValues();
  Open(path);
  EXPECT_TRUE(boxes.Messages.empty());
  WriteReport(form);
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_TRUE(boxes.Errors.empty());
  const TWorkbookContent expected = {{"Протокол", {{Text("Конец теста")}, {Zeros}, {Zeros}}}};
  EXPECT_EQ(Workbooks().Read(path), expected);
}

// The lock of a desktop office beside the file a link leads to is found, and its holder named;
// once it is gone, the record is stored into that file and the link stays a link.
TEST_F(ReportSharedTest, AReportThroughALinkIsJudgedAndStoredWhereItReallyIs) {
  fs::create_directories(dir.Root() / "общая папка");
  fs::create_directories(dir.Root() / "ярлыки");
  const fs::path real = MakeReport("общая папка/r.xls", {{"Протокол", {{Text("Конец теста")}}}});
  const fs::path link = dir.Root() / "ярлыки" / "отчет.xls";
  fs::create_symlink(real, link);
  const fs::path lock = dir.Root() / "общая папка" / ".~lock.r.xls#";
  std::ofstream(lock) << "Иван Петров,ivan,bench-pc,07.12.2026 10:00,file:///home/ivan/.config/libreoffice/4;";

  EXPECT_NO_THROW(Open(link));
  ASSERT_EQ(boxes.Messages.size(), 1u);
  EXPECT_NE(boxes.Messages[0].find("Иван Петров (ivan@bench-pc)"), std::string::npos) << boxes.Messages[0];
  EXPECT_TRUE(profiles.empty());
  EXPECT_FALSE(form.BitBtn24->isEnabled());

  fs::remove(lock);
  form.MainState.ParamValues = TParamValues();
  Open(link);
  WriteReport(form);
  EXPECT_TRUE(boxes.Errors.empty());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), real);
  const TWorkbookContent expected = {{"Протокол", {{Text("Конец теста")}, {Zeros}, {Zeros}}}};
  EXPECT_EQ(Workbooks().Read(real), expected);
  EXPECT_EQ(FolderEntries(dir.Root() / "общая папка"), std::vector<std::string>{"r.xls"});
}

// Another program saves the report after "..." with the same size and, as FAT and SMB keep
// times in whole seconds, the same modification time: the record still goes below the marker
// where that save put it, and the save is kept.
TEST_F(ReportSharedTest, ASameSizeSaveWithinOneTimeTickIsSeen) {
  const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}, {Text("шапка")}}}});
  const fs::path other = MakeReport("other.xls", {{"Протокол", {{Text("шапка")}, {Text("Конец теста")}}}});
  const std::string otherBytes = FileBytes(other);
  ASSERT_EQ(FileBytes(path).size(), otherBytes.size()) << "the test needs two files of one size";
  form.MainState.ParamValues = TParamValues();
  Open(path);

  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << otherBytes;
  const timespec times[] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

  WriteReport(form);
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_TRUE(boxes.Errors.empty());
  const TWorkbookContent expected = {{"Протокол", {{Text("шапка")}, {Text("Конец теста")}, {Zeros}, {Zeros}}}};
  EXPECT_EQ(Workbooks().Read(path), expected);
}

// A save by another program while the office stores the record: the record is not put over
// it; "Запись" loads the report again and stores the record below the marker of that save. A
// program that saves at every store makes "Запись" give up after its attempts, with a message,
// leaving that program's file and nothing else.
TEST_F(ReportSharedTest, ASaveDuringTheStoreIsKeptAndTheStoreRetried) {
  const fs::path other = MakeReport("other.xls", {{"Протокол", {{Text("чужая правка")}, {Text("Конец теста")}}}});
  const std::string otherBytes = FileBytes(other);
  fs::remove(other);
  for (const bool everyTime : {false, true}) {
    SCOPED_TRACE(everyTime ? "a save at every store" : "one save");
    const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}});
    form.MainState.ParamValues = TParamValues();
    boxes.Messages.clear();
    Open(path);
    ASSERT_FALSE(profiles.empty());
    {
      TSaveDuringStore saver(profiles.back(), path, otherBytes, everyTime);
      WriteReport(form);
      EXPECT_TRUE(everyTime ? saver.Saves() >= 3 : saver.Saves() == 1) << saver.Saves();
    }
    EXPECT_TRUE(boxes.Errors.empty());
    EXPECT_FALSE(form.BitBtn24->isEnabled());
    EXPECT_EQ(LiveProcesses(), 0);
    if (everyTime) {
      ASSERT_EQ(boxes.Messages.size(), 1u);
      EXPECT_EQ(boxes.Messages[0],
                "Отчет все время сохраняет другая программа. Закройте ее и нажмите \"Запись\" снова.");
      EXPECT_EQ(FileBytes(path), otherBytes);
    } else {
      EXPECT_TRUE(boxes.Messages.empty());
      const TWorkbookContent expected = {
          {"Протокол", {{Text("чужая правка")}, {Text("Конец теста")}, {Zeros}, {Zeros}}}};
      EXPECT_EQ(Workbooks().Read(path), expected);
    }
    EXPECT_EQ(FolderEntries(dir.Root()), std::vector<std::string>{"r.xls"});
    fs::remove(path);
  }
}
