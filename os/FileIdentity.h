#pragma once
// What tells one version of a file from the next without reading it: a save by rename changes
// the inode, a save in place the modification time and usually the size.
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

struct TFileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = -1; // -1: no such file
  timespec Modified{};
  timespec Changed{}; // moves with every change of the file, and cannot be set back

  // Same inode, size and modification time: what a writer leaves behind. File times advance in
  // steps (up to two seconds on some file systems), so this can miss a quick save of equal size.
  bool SameWrite(const TFileIdentity &other) const;
  // SameWrite and the same change time as well.
  bool operator==(const TFileIdentity &other) const;
};

TFileIdentity FileIdentityOf(const struct stat &st);
// The identity of the file at path (past symbolic links); Size -1 when there is none.
TFileIdentity FileIdentityOf(const std::string &path);
