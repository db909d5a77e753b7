#include "os/FileReplace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

// Where the access control list of a file lives; a file without one has no such attribute.
const char *const AclAttribute = "system.posix_acl_access";

std::string FolderOf(const std::string &path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes all of data: at the current position, or at offset when one is given.
int WriteAll(int fd, const char *data, size_t size, off_t offset = -1) {
  while (size > 0) {
    const ssize_t n = offset < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return errno;
    }
    data += n;
    size -= static_cast<size_t>(n);
    if (offset >= 0)
      offset += n;
  }
  return 0;
}

// Copies from the start of in to the current position of out.
int CopyAll(int in, int out) {
  if (::lseek(in, 0, SEEK_SET) < 0)
    return errno;
  char chunk[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(in, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return errno;
    if (n == 0)
      return 0;
    if (const int err = WriteAll(out, chunk, static_cast<size_t>(n)); err != 0)
      return err;
  }
}

int SyncFolder(const std::string &folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return errno;
  const int err = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return err;
}

// The access control list of a file: empty when it has none (or the file system keeps none).
std::vector<char> AclOf(const std::string &path) {
  const ssize_t size = ::getxattr(path.c_str(), AclAttribute, nullptr, 0);
  if (size <= 0)
    return {};
  std::vector<char> acl(static_cast<size_t>(size));
  const ssize_t read = ::getxattr(path.c_str(), AclAttribute, acl.data(), acl.size());
  acl.resize(read > 0 ? static_cast<size_t>(read) : 0);
  return acl;
}

std::function<int(TInPlaceStep)> &InPlaceFault() {
  static std::function<int(TInPlaceStep)> fault;
  return fault;
}

int Injected(TInPlaceStep step) { return InPlaceFault() ? InPlaceFault()(step) : 0; }

// The whole of a file, read from its start.
int ReadWhole(int fd, off_t size, std::string &bytes) {
  bytes.resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return errno;
    if (n == 0)
      break;
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return 0;
}

} // namespace

void SetInPlaceFault(std::function<int(TInPlaceStep)> fault) { InPlaceFault() = std::move(fault); }

std::string ReplacementTarget(const std::string &path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char *real = ::realpath(path.c_str(), nullptr)) {
      std::string resolved = real;
      std::free(real);
      return resolved;
    }
  }
  return path;
}

int TFileReplacement::Begin(const std::string &target, TKeep keep, const std::string &temporaryName) {
  Abandon();
  kept_.clear();
  target_ = target;
  keep_ = keep;
  struct stat old {};
  hadOld_ = ::stat(target.c_str(), &old) == 0;
  if (hadOld_ && S_ISDIR(old.st_mode))
    return EISDIR;
  // A device or a FIFO in the file's place is not ours to turn into a plain file.
  if (hadOld_ && !S_ISREG(old.st_mode))
    return EINVAL;
  oldMode_ = old.st_mode;
  oldOwner_ = old.st_uid;
  oldGroup_ = old.st_gid;
  oldLinks_ = old.st_nlink;

  // Beside the target, so that the rename stays within one file system.
  const std::string folder = FolderOf(target);
  if (!temporaryName.empty()) {
    temporary_ = folder + "/" + temporaryName;
    fd_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  } else {
    std::random_device seed;
    std::mt19937 random(seed());
    const std::string stem = folder + "/." + NameOf(target) + ".";
    for (int attempt = 0; fd_ < 0; ++attempt) {
      temporary_ = stem + std::to_string(random() % 1000000000u);
      fd_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ < 0 && (errno != EEXIST || attempt > 100))
        break;
    }
  }
  if (fd_ < 0) {
    const int err = errno;
    temporary_.clear();
    return err;
  }
  if (hadOld_)
    ::fchmod(fd_, oldMode_ & 07777); // best effort; Prepare insists where it matters
  return 0;
}

int TFileReplacement::Write(std::string_view bytes) {
  const int err = WriteAll(fd_, bytes.data(), bytes.size());
  if (err != 0)
    Abandon();
  return err;
}

int TFileReplacement::CopyFrom(int fd) {
  const int err = CopyAll(fd, fd_);
  if (err != 0)
    Abandon();
  return err;
}

// Whether the renamed copy can be what the old file was to everyone else; when not, the
// contents go into the old file itself.
int TFileReplacement::KeepAttributes() {
  inPlace_ = false;
  if (keep_ != TKeep::Everything || !hadOld_)
    return 0;
  struct stat now {};
  if (::fstat(fd_, &now) != 0)
    return errno;
  // Only root may give a file away: an ordinary user's copy of a colleague's file would become
  // his own, with his primary group.
  if ((now.st_uid != oldOwner_ || now.st_gid != oldGroup_) && ::fchown(fd_, oldOwner_, oldGroup_) != 0)
    inPlace_ = true;
  // After the owner: a change of owner clears the set-id bits.
  if (!inPlace_ && ::fchmod(fd_, oldMode_ & 07777) != 0)
    inPlace_ = true;
  const std::vector<char> acl = AclOf(target_);
  if (!inPlace_ && !acl.empty() && ::fsetxattr(fd_, AclAttribute, acl.data(), acl.size(), 0) != 0)
    inPlace_ = true;
  // The other names of the file would keep the old contents.
  if (oldLinks_ > 1)
    inPlace_ = true;
  return 0;
}

int TFileReplacement::Prepare() {
  int err = KeepAttributes();
  if (err == 0 && ::fsync(fd_) != 0)
    err = errno;
  if (err != 0)
    Abandon();
  return err;
}

// The new contents over the old ones: room first, so that a full disk fails before a byte of
// the old file is touched; then the bytes, the new length and the disk.
int TFileReplacement::OverwriteWith(int out, off_t oldSize, off_t newSize, bool &touched) {
  touched = false;
  if (newSize > oldSize) {
    int err = Injected(TInPlaceStep::Extend);
    if (err == 0)
      err = ::posix_fallocate(out, 0, newSize);
    if (err != 0) {
      // Whatever the allocation got to, the old length is all the file had.
      struct stat st {};
      touched = ::fstat(out, &st) != 0 || st.st_size != oldSize;
      return err;
    }
  }
  touched = true;
  if (int err = Injected(TInPlaceStep::Write); err != 0)
    return err;
  if (::lseek(out, 0, SEEK_SET) < 0)
    return errno;
  if (const int err = CopyAll(fd_, out); err != 0)
    return err;
  if (newSize < oldSize) {
    if (int err = Injected(TInPlaceStep::Truncate); err != 0)
      return err;
    if (::ftruncate(out, newSize) != 0)
      return errno;
  }
  if (int err = Injected(TInPlaceStep::Sync); err != 0)
    return err;
  return ::fsync(out) == 0 ? 0 : errno;
}

int TFileReplacement::WriteInPlace() {
  const int out = ::open(target_.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (out < 0)
    return errno;
  struct stat st {}, next {};
  int err = ::fstat(out, &st) != 0 || ::fstat(fd_, &next) != 0 ? errno : !S_ISREG(st.st_mode) ? EINVAL : 0;
  // The old bytes, to put back if the new ones cannot be completed.
  std::string old;
  if (err == 0)
    err = ReadWhole(out, st.st_size, old);
  if (err != 0) {
    ::close(out);
    return err;
  }
  bool touched = false;
  err = OverwriteWith(out, static_cast<off_t>(old.size()), next.st_size, touched);
  if (err != 0 && touched) {
    int restored = Injected(TInPlaceStep::Restore);
    if (restored == 0)
      restored = WriteAll(out, old.data(), old.size(), 0);
    if (restored == 0 && ::ftruncate(out, static_cast<off_t>(old.size())) != 0)
      restored = errno;
    if (restored == 0 && ::fsync(out) != 0)
      restored = errno;
    // The old bytes could not be put back either: the file may be half-written, so the new
    // contents stay beside it, whole and on disk since Prepare.
    if (restored != 0)
      KeepNewContents();
  }
  if (::close(out) != 0 && err == 0) {
    // The new bytes may not all have reached the file: keep them beside it.
    err = errno;
    KeepNewContents();
  }
  return err;
}

// Under a name of its own ("report.новая.xls"), which no clean-up of temporary files takes for a
// leftover; under the temporary name where that cannot be had.
void TFileReplacement::KeepNewContents() {
  const std::string name = NameOf(target_);
  const auto dot = name.rfind('.');
  const std::string keep = FolderOf(target_) + "/" +
                           (dot == std::string::npos || dot == 0 ? name + ".новая"
                                                                 : name.substr(0, dot) + ".новая" + name.substr(dot));
  kept_ = ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, keep.c_str(), RENAME_NOREPLACE) == 0 ? keep : temporary_;
  temporary_.clear();
}

int TFileReplacement::Commit() {
  int err = 0;
  if (inPlace_) {
    err = WriteInPlace();
    Abandon();
    return err;
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0)
    err = errno;
  if (err == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0)
    err = errno;
  if (err != 0) {
    Abandon();
    return err;
  }
  temporary_.clear();
  return SyncFolder(FolderOf(target_));
}

void TFileReplacement::Abandon() noexcept {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty())
    ::unlink(temporary_.c_str());
  temporary_.clear();
  inPlace_ = false;
}
