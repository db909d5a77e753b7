// Putting new contents in place of a file: what the file keeps, and what a failure leaves.
#include "platform/os/FileReplace.h"
#include "tests/support/TempConfigDir.h"

#include <gtest/gtest.h>

#include <cerrno>
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
