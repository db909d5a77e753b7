// Putting new contents in place of a file: what the file keeps, and what a failure leaves.
#include "os/FileReplace.h"
#include "tests/support/TempConfigDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Bytes(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int Replace(const fs::path &path, const std::string &bytes, TKeep keep, bool *inPlace = nullptr) {
  TFileReplacement replacement;
  int err = replacement.Begin(ReplacementTarget(path), keep);
  if (err == 0)
    err = replacement.Write(bytes);
  if (err == 0)
    err = replacement.Prepare();
  if (inPlace)
    *inPlace = replacement.InPlace();
  if (err == 0)
    err = replacement.Commit();
  return err;
}

// An access list giving user 4242 write access (the kernel's own format of it).
std::string SampleAcl() {
  struct Entry {
    uint16_t Tag, Perm;
    uint32_t Id;
  } const entries[] = {{0x01, 6, ~0u}, {0x02, 6, 4242}, {0x04, 4, ~0u}, {0x10, 6, ~0u}, {0x20, 4, ~0u}};
  std::string acl("\x02\x00\x00\x00", 4);
  for (const auto &entry : entries)
    acl.append(reinterpret_cast<const char *>(&entry), sizeof entry);
  return acl;
}

std::string AclOf(const fs::path &path) {
  std::string acl(256, '\0');
  const ssize_t size = getxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size());
  acl.resize(size > 0 ? static_cast<size_t>(size) : 0);
  return acl;
}

} // namespace

// Everything the old file was to others stays: by a rename where the new file can be given it,
// in place where it cannot (a second name would keep the old contents).
TEST(FileReplace, KeepsOwnerGroupModeAccessListAndOtherNames) {
  TempConfigDir dir;
  const fs::path path = dir.WriteFile("r.xls", "old");
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(path.c_str(), 12345, 54321), 0);
  }
  fs::permissions(path, fs::perms(0640));
  const std::string acl = SampleAcl();
  const bool withAcl = setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);

  bool inPlace = true;
  ASSERT_EQ(Replace(path, "new contents", TKeep::Everything, &inPlace), 0);
  EXPECT_FALSE(inPlace) << "a file of one name that the copy can fully stand for is renamed";
  struct stat after {};
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(Bytes(path), "new contents");
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
  if (withAcl) {
    EXPECT_EQ(AclOf(path), acl);
  }

  const fs::path second = dir.KstuneDir() / "копия.xls";
  fs::create_hard_link(path, second);
  ASSERT_EQ(Replace(path, "third", TKeep::Everything, &inPlace), 0);
  EXPECT_TRUE(inPlace);
  EXPECT_EQ(Bytes(second), "third");
  EXPECT_TRUE(fs::equivalent(path, second));

  // The user's own files need no more than their mode: the rename gives them a new inode.
  ASSERT_EQ(Replace(path, "fourth", TKeep::Mode, &inPlace), 0);
  EXPECT_FALSE(inPlace);
  EXPECT_EQ(Bytes(path), "fourth");
  EXPECT_EQ(Bytes(second), "third");
  EXPECT_EQ(static_cast<unsigned>(fs::status(path).permissions()), before.st_mode & 0777);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.KstuneDir()), {}), 2) << "a temporary file was left";
}

// A link stays a link; what is no regular file is refused and left as it is; nothing is left
// behind by a refusal or an abandoned replacement.
TEST(FileReplace, RefusesWhatIsNoRegularFileAndLeavesNothingBehind) {
  TempConfigDir dir;
  const fs::path target = dir.WriteFile("Opros.txt", "old");
  const fs::path link = dir.KstuneDir() / "link.txt";
  fs::create_symlink(target, link);
  ASSERT_EQ(Replace(link, "new", TKeep::Mode), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Bytes(target), "new");

  const fs::path fifo = dir.KstuneDir() / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const fs::path linkToFifo = dir.KstuneDir() / "link-to-fifo";
  fs::create_symlink(fifo, linkToFifo);
  const struct {
    fs::path path;
    int error;
  } refused[] = {{fifo, EINVAL}, {linkToFifo, EINVAL}, {dir.KstuneDir(), EISDIR}};
  for (const auto &row : refused)
    EXPECT_EQ(Replace(row.path, "x", TKeep::Everything), row.error) << row.path;
  EXPECT_TRUE(fs::is_fifo(fifo));

  {
    TFileReplacement abandoned;
    ASSERT_EQ(abandoned.Begin(target.string(), TKeep::Mode, ".~kstune.1.Opros.txt"), 0);
    ASSERT_EQ(abandoned.Write("never"), 0);
    EXPECT_TRUE(fs::exists(dir.KstuneDir() / ".~kstune.1.Opros.txt"));
  }
  EXPECT_EQ(Bytes(target), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.KstuneDir()), {}), 4) << "a temporary file was left";
}

namespace {

// A file that must be written in place (a second name would keep the old contents otherwise).
struct TInPlaceFile {
  fs::path path, second;
  TInPlaceFile(const fs::path &folder, const std::string &old) : path(folder / "r.xls"), second(folder / "копия.xls") {
    fs::create_directories(folder);
    std::ofstream(path, std::ios::binary) << old;
    fs::create_hard_link(path, second);
    // Long ago, so that any change of the file shows in its time.
    const timespec past[2] = {{1'500'000'000, 0}, {1'500'000'000, 0}};
    utimensat(AT_FDCWD, path.c_str(), past, 0);
  }
  // Not a byte of it touched (nor its length).
  bool Untouched() const {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && st.st_mtim.tv_sec == 1'500'000'000 && st.st_mtim.tv_nsec == 0;
  }
};

std::string Filled(size_t size, char c) { return std::string(size, c); }

} // namespace

// A write into the old file that fails at any step leaves the workbook whole: the old bytes, or,
// where even they cannot be put back, the new contents beside it under the name the caller gets.
TEST(FileReplace, AFailedWriteInPlaceNeverLosesTheWorkbook) {
  const std::string old = Filled(5000, 'o');
  const struct {
    const char *name;
    size_t newSize;
    TInPlaceStep fails;
    int error;
    bool restoreFails;
  } rows[] = {
      {"no room for the larger file", 9000, TInPlaceStep::Extend, ENOSPC, false},
      {"the share gone while writing", 9000, TInPlaceStep::Write, EIO, false},
      {"the share gone while writing a smaller file", 100, TInPlaceStep::Write, EIO, false},
      {"cut to the new length fails", 100, TInPlaceStep::Truncate, EIO, false},
      {"sync fails", 9000, TInPlaceStep::Sync, EIO, false},
      {"sync fails, the old bytes cannot go back", 9000, TInPlaceStep::Sync, EIO, true},
      {"writing fails, the old bytes cannot go back", 100, TInPlaceStep::Write, EIO, true},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    TempConfigDir dir;
    const TInPlaceFile file(dir.KstuneDir(), old);
    const std::string next = Filled(row.newSize, 'n');
    SetInPlaceFault([&](TInPlaceStep step) {
      return step == row.fails || (row.restoreFails && step == TInPlaceStep::Restore) ? row.error : 0;
    });
    TFileReplacement replacement;
    ASSERT_EQ(replacement.Begin(file.path.string(), TKeep::Everything, ".~kstune.1.r.xls"), 0);
    ASSERT_EQ(replacement.Write(next), 0);
    ASSERT_EQ(replacement.Prepare(), 0);
    ASSERT_TRUE(replacement.InPlace());
    EXPECT_EQ(replacement.Commit(), row.error);
    SetInPlaceFault({});
    const fs::path kept = dir.KstuneDir() / "r.новая.xls";
    if (row.restoreFails) {
      EXPECT_EQ(replacement.KeptPath(), kept.string());
      EXPECT_EQ(Bytes(kept), next) << "the new workbook whole beside the report";
    } else {
      EXPECT_EQ(replacement.KeptPath(), "");
      EXPECT_EQ(Bytes(file.path), old) << "the old workbook whole";
      EXPECT_EQ(Bytes(file.second), old);
    }
    if (row.fails == TInPlaceStep::Extend) {
      EXPECT_TRUE(file.Untouched()) << "the room is taken before a byte is written";
    }
    EXPECT_FALSE(fs::exists(dir.KstuneDir() / ".~kstune.1.r.xls")) << "no temporary file left";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.KstuneDir()), {}), row.restoreFails ? 3 : 2);
  }
  // Without a fault the same write goes through, larger and smaller.
  for (const size_t size : {9000u, 100u}) {
    TempConfigDir dir;
    const TInPlaceFile file(dir.KstuneDir(), old);
    bool inPlace = false;
    ASSERT_EQ(Replace(file.path, Filled(size, 'n'), TKeep::Everything, &inPlace), 0);
    EXPECT_TRUE(inPlace);
    EXPECT_EQ(Bytes(file.second), Filled(size, 'n'));
  }
}

// On a real file system that fills up: before the new contents are complete, and when the
// larger file needs its room. The workbook stays whole either way. (Mounting a small file
// system of its own needs root, as CI has.)
TEST(FileReplace, AFullFileSystemLeavesTheWorkbookWhole) {
  if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    GTEST_SKIP() << "needs root to mount a small file system of its own";
  TempConfigDir dir;
  const fs::path folder = dir.KstuneDir() / "share";
  fs::create_directories(folder);
  ASSERT_EQ(mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=256k"), 0) << std::strerror(errno);
  const std::string old = Filled(64 * 1024, 'o'), next = Filled(96 * 1024, 'n');
  // Fills what room is left.
  const auto fill = [&](const fs::path &name) {
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const std::string chunk(4096, 'f');
    while (write(fd, chunk.data(), chunk.size()) > 0) {
    }
    close(fd);
  };
  {
    SCOPED_TRACE("full before the new contents are complete");
    const TInPlaceFile file(folder, old);
    fill(folder / "filler");
    TFileReplacement replacement;
    ASSERT_EQ(replacement.Begin(file.path.string(), TKeep::Everything, ".~kstune.1.r.xls"), 0);
    EXPECT_EQ(replacement.Write(next), ENOSPC);
    EXPECT_EQ(Bytes(file.path), old);
    EXPECT_FALSE(fs::exists(folder / ".~kstune.1.r.xls"));
    fs::remove(folder / "filler");
    fs::remove(file.path);
    fs::remove(file.second);
  }
  {
    SCOPED_TRACE("full when the larger file takes its room");
    const TInPlaceFile file(folder, old);
    TFileReplacement replacement;
    ASSERT_EQ(replacement.Begin(file.path.string(), TKeep::Everything, ".~kstune.1.r.xls"), 0);
    ASSERT_EQ(replacement.Write(next), 0);
    ASSERT_EQ(replacement.Prepare(), 0);
    fill(folder / "filler");
    EXPECT_EQ(replacement.Commit(), ENOSPC);
    EXPECT_EQ(replacement.KeptPath(), "");
    EXPECT_EQ(Bytes(file.path), old);
    EXPECT_TRUE(file.Untouched()) << "the room is taken before a byte is written";
    EXPECT_EQ(fs::file_size(file.path), old.size());
    EXPECT_FALSE(fs::exists(folder / ".~kstune.1.r.xls"));
    // With the room back, the same write goes through.
    fs::remove(folder / "filler");
    ASSERT_EQ(Replace(file.path, next, TKeep::Everything), 0);
    EXPECT_EQ(Bytes(file.second), next);
  }
  umount2(folder.c_str(), MNT_DETACH);
}
