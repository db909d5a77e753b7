#include "os/FileIdentity.h"

namespace {

bool SameTime(const timespec &a, const timespec &b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

} // namespace

bool TFileIdentity::SameWrite(const TFileIdentity &other) const {
  return Device == other.Device && Inode == other.Inode && Size == other.Size &&
         SameTime(Modified, other.Modified);
}

bool TFileIdentity::operator==(const TFileIdentity &other) const {
  return SameWrite(other) && SameTime(Changed, other.Changed);
}

TFileIdentity FileIdentityOf(const struct stat &st) {
  return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

TFileIdentity FileIdentityOf(const std::string &path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return {};
  return FileIdentityOf(st);
}
