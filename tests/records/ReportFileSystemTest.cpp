// What the file system allows the technician with a report: read-only files and folders, a
// colleague's file in a shared or sticky folder, a second name, a full disk.
#include "tests/records/ReportFixture.h"

#include "tests/support/Spawn.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace report_test;

namespace {

class ReportFileSystemTest : public ReportFixture {};

// A test that must run in a changed world (as another user, in a mount namespace of its own)
// starts this program again for itself alone; the copy finds the report's path here.
const char *const InsideVariable = "KSTUNE_TEST_REPORT_INSIDE";
// "uid:gid:group": the copy drops root for that user, primary group and one more group, before
// anything else runs.
const char *const AsUserVariable = "KSTUNE_TEST_REPORT_AS_USER";
constexpr int NoNamespace = 77;

const bool DroppedToUser = [] {
  const char *user = std::getenv(AsUserVariable);
  if (!user)
    return false;
  unsigned uid = 0, gid = 0, group = 0;
  if (std::sscanf(user, "%u:%u:%u", &uid, &gid, &group) != 3)
    _exit(3);
  const gid_t groups[] = {static_cast<gid_t>(group)};
  if (setgroups(1, groups) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
    _exit(4);
  return true;
}();

const char *Inside() { return std::getenv(InsideVariable); }

} // namespace

// A read-only report, or one in a read-only folder, is refused at "..." with a message; nothing
// starts, "Запись" stays off and the file stays as it was.
TEST_F(ReportFileSystemTest, AReadOnlyReportOrFolderIsRefusedAtOpen) {
  struct Row {
    fs::perms filePerms, folderPerms;
    const char *expected;
  } rows[] = {
      {fs::perms(0444), fs::perms(0755), "доступен только для чтения"},
      {fs::perms(0644), fs::perms(0555), "доступна только для чтения"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.expected);
    const fs::path folder = dir.Root() / "папка";
    fs::create_directories(folder);
    const fs::path path = folder / "r.xls";
    Workbooks().Make(path, {{"Протокол", {{Text("Конец теста")}}}});
    const std::string before = FileBytes(path);
    fs::permissions(path, row.filePerms);
    fs::permissions(folder, row.folderPerms);
    boxes.Messages.clear();

    Open(path);
    ASSERT_EQ(boxes.Messages.size(), 1u);
    EXPECT_NE(boxes.Messages[0].find(row.expected), std::string::npos) << boxes.Messages[0];
    EXPECT_TRUE(profiles.empty());
    EXPECT_FALSE(form.BitBtn24->isEnabled());
    fs::permissions(folder, fs::perms(0755));
    fs::permissions(path, fs::perms(0644));
    EXPECT_EQ(FileBytes(path), before);
    fs::remove_all(folder);
  }
}

// A technician who may write a colleague's report in a shared folder (through the folder's
// group) stores the record without taking the report over: owner, group, permissions and the
// access list stay the colleague's. Run as an ordinary user in a copy of this program.
TEST_F(ReportFileSystemTest, AnOrdinaryUserKeepsTheOwnerGroupAndAccessListOfASharedReport) {
  constexpr unsigned Technician = 65534, TechnicianGroup = 65534, Colleague = 12345, Shared = 54321;
  if (const char *report = Inside()) {
    ASSERT_TRUE(DroppedToUser);
    ASSERT_EQ(geteuid(), Technician);
    Open(report);
    EXPECT_TRUE(boxes.Messages.empty()) << boxes.Messages[0];
    WriteReport(form);
    EXPECT_TRUE(boxes.Messages.empty());
    EXPECT_TRUE(boxes.Errors.empty());
    return;
  }
  if (geteuid() != 0)
    GTEST_SKIP() << "acting as another user needs root";
  fs::permissions(dir.Root(), fs::perms(0755));
  const fs::path folder = dir.Root() / "общая папка";
  fs::create_directories(folder);
  ASSERT_EQ(chown(folder.c_str(), 0, Shared), 0);
  fs::permissions(folder, fs::perms(02775));
  const fs::path home = dir.Root() / "home";
  fs::create_directories(home);
  ASSERT_EQ(chown(home.c_str(), Technician, TechnicianGroup), 0);
  const fs::path path = folder / "r.xls";
  Workbooks().Make(path, {{"Протокол", {{Text("Конец теста")}}}});
  ASSERT_EQ(chown(path.c_str(), Colleague, Shared), 0);
  fs::permissions(path, fs::perms(0664));
  // An access list that gives one more user write access, as an administrator would set it.
  struct AclEntry {
    uint16_t Tag, Perm;
    uint32_t Id;
  };
  const AclEntry entries[] = {{0x01, 6, ~0u}, {0x02, 6, 4242}, {0x04, 6, ~0u}, {0x10, 6, ~0u}, {0x20, 4, ~0u}};
  std::string acl("\x02\x00\x00\x00", 4);
  for (const auto &entry : entries)
    acl.append(reinterpret_cast<const char *>(&entry), sizeof entry);
  const bool withAcl = setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;

  const int status = RunTestInChild(CurrentTest(), {std::string(InsideVariable) + "=" + path.string(),
                                                    std::string(AsUserVariable) + "=" + std::to_string(Technician) +
                                                        ":" + std::to_string(TechnicianGroup) + ":" +
                                                        std::to_string(Shared),
                                                    "HOME=" + home.string()});
  EXPECT_EQ(status, 0) << "the store as an ordinary user failed";

  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, Colleague);
  EXPECT_EQ(st.st_gid, Shared);
  EXPECT_EQ(st.st_mode & 07777, 0664u);
  if (withAcl) {
    std::string kept(acl.size(), '\0');
    EXPECT_EQ(getxattr(path.c_str(), "system.posix_acl_access", kept.data(), kept.size()),
              static_cast<ssize_t>(acl.size()));
    EXPECT_EQ(kept, acl);
  }
  const TWorkbookContent expected = {{"Протокол", {{Text("Конец теста")}, {Zeros}, {Zeros}}}};
  EXPECT_EQ(Workbooks().Read(path), expected);
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"r.xls"});
}

// A report with a second name (a hard link) is stored into the file itself, so both names show
// the record.
TEST_F(ReportFileSystemTest, AReportWithASecondNameIsStoredForBothNames) {
  const fs::path path = MakeReport("r.xls", {{"Протокол", {{Text("Конец теста")}}}});
  const fs::path second = dir.Root() / "копия.xls";
  fs::create_hard_link(path, second);
  form.MainState.ParamValues = TParamValues();
  Open(path);
  WriteReport(form);
  EXPECT_TRUE(boxes.Errors.empty());
  EXPECT_EQ(fs::hard_link_count(path), 2u);
  EXPECT_TRUE(fs::equivalent(path, second));
  const TWorkbookContent expected = {{"Протокол", {{Text("Конец теста")}, {Zeros}, {Zeros}}}};
  EXPECT_EQ(Workbooks().Read(second), expected);
}

// A report in a sticky folder (like /tmp) that belongs to someone else cannot be replaced by
// the technician: refused at "...", before anything starts.
TEST_F(ReportFileSystemTest, AReportInAStickyFolderThatOnlyItsOwnerMayReplaceIsRefusedAtOpen) {
  constexpr unsigned Technician = 65534, Colleague = 12345;
  if (const char *report = Inside()) {
    ASSERT_TRUE(DroppedToUser);
    Open(report);
    ASSERT_EQ(boxes.Messages.size(), 1u);
    EXPECT_NE(boxes.Messages[0].find("может заменить только его владелец"), std::string::npos)
        << boxes.Messages[0];
    EXPECT_TRUE(profiles.empty());
    EXPECT_FALSE(form.BitBtn24->isEnabled());
    return;
  }
  if (geteuid() != 0)
    GTEST_SKIP() << "acting as another user needs root";
  fs::permissions(dir.Root(), fs::perms(0755));
  const fs::path folder = dir.Root() / "общая папка";
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms(01777));
  const fs::path path = folder / "r.xls";
  Workbooks().Make(path, {{"Протокол", {{Text("Конец теста")}}}});
  ASSERT_EQ(chown(path.c_str(), Colleague, Colleague), 0);
  fs::permissions(path, fs::perms(0666));
  const std::string before = FileBytes(path);
  const int status = RunTestInChild(CurrentTest(), {std::string(InsideVariable) + "=" + path.string(),
                                                    std::string(AsUserVariable) + "=" + std::to_string(Technician) +
                                                        ":" + std::to_string(Technician) + ":" +
                                                        std::to_string(Technician)});
  EXPECT_EQ(status, 0);
  EXPECT_EQ(FileBytes(path), before);
}

// A folder that is full at "Запись": the message gives the reason in Russian, the report stays
// as it was, and nothing is left beside it. Run in a small file system of its own, mounted in a
// mount namespace of a copy of this program (root only).
TEST_F(ReportFileSystemTest, AFullFolderAtStoreSaysSoAndLeavesNothingBehind) {
  if (const char *folderText = Inside()) {
    const fs::path folder = folderText;
    const fs::path path = folder / "r.xls";
    Workbooks().Make(path, {{"Протокол", {{Text("Конец теста")}}}});
    const std::string before = FileBytes(path);
    Open(path);
    ASSERT_TRUE(boxes.Messages.empty());
    {
      std::ofstream filler(folder / "filler", std::ios::binary);
      const std::string chunk(4096, 'x');
      while (filler.write(chunk.data(), static_cast<std::streamsize>(chunk.size())) && filler.flush()) {
      }
    }
    std::string message;
    try {
      WriteReport(form);
    } catch (const Exception &e) {
      message = e.Message;
    }
    EXPECT_NE(message.find("нет места на диске"), std::string::npos) << message;
    EXPECT_FALSE(form.BitBtn24->isEnabled());
    EXPECT_EQ(LiveProcesses(), 0);
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_EQ(FolderEntries(folder), (std::vector<std::string>{"filler", "r.xls"}));
    return;
  }
  if (geteuid() != 0)
    GTEST_SKIP() << "a file system of its own needs a mount namespace, which only root may make";
  const fs::path folder = dir.Root() / "полная папка";
  fs::create_directories(folder);
  const int status = RunTestInChild(CurrentTest(), {std::string(InsideVariable) + "=" + folder.string()},
                                    {"/usr/bin/unshare", "-m", "--", "/bin/sh", "-c",
                                     "mount -t tmpfs -o size=1m tmpfs \"$" + std::string(InsideVariable) +
                                         "\" || exit " + std::to_string(NoNamespace) + "; exec \"$@\"",
                                     "sh"});
  if (status == NoNamespace)
    GTEST_SKIP() << "no mount namespace could be made here";
  EXPECT_EQ(status, 0) << "the store into a full folder failed its checks";
}
