#pragma once
// Putting new contents in place of a file so that a failure never leaves it half-written: the
// bytes go to a temporary file beside it, which is made durable and then renamed over it; the
// folder is made durable too, so the rename survives a power cut.
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

// The file a replacement writes: past symbolic links, so that a link stays a link.
std::string ReplacementTarget(const std::string &path);

// What the replaced file keeps of the old one.
enum class TKeep {
  // Its permission bits (best effort): files in the user's own folders.
  Mode,
  // Its owner, group, permission bits, access control list and hard links. Where the renamed
  // copy cannot keep them (another user's file in a shared folder, several links), the
  // contents are written into the old file itself, once they are complete: the room for them
  // is taken first, and a failure after that puts the old bytes back, or, where even that
  // fails, keeps the new contents beside the file (KeptPath).
  Everything,
};

// The steps of a write into the old file, for a test that makes one of them fail.
enum class TInPlaceStep { Extend, Write, Truncate, Sync, Restore };
// Called before each step with the step; a non-zero errno makes it fail with that error. Empty
// (the default): no step is made to fail.
void SetInPlaceFault(std::function<int(TInPlaceStep)> fault);

// Every step returns 0 or the errno of its failure; a failed step abandons the replacement.
class TFileReplacement {
public:
  TFileReplacement() = default;
  ~TFileReplacement() { Abandon(); }
  TFileReplacement(const TFileReplacement &) = delete;
  TFileReplacement &operator=(const TFileReplacement &) = delete;

  // Checks the target (a regular file or nothing yet: a folder is EISDIR, a device, FIFO or
  // socket EINVAL) and opens a new, empty temporary file beside it, named temporaryName or, when
  // that is empty, a fresh name. The folder must exist.
  int Begin(const std::string &target, TKeep keep, const std::string &temporaryName = {});
  int Write(std::string_view bytes);
  // Copies every byte of an open descriptor, from its start.
  int CopyFrom(int fd);
  // The new contents on disk, with what the old file keeps; after it the target still holds
  // its old contents (the last moment to decide against the replacement).
  int Prepare();
  // Puts the prepared contents in place of the old ones. On failure the target holds its old
  // contents, or KeptPath names the file beside it that holds the new ones.
  int Commit();
  // After a failed Commit: where the new contents were kept because the old ones could not be
  // put back into the target (which may then be half-written); empty when they were.
  const std::string &KeptPath() const { return kept_; }
  void Abandon() noexcept;

  bool Active() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  const std::string &Target() const { return target_; }
  const std::string &TemporaryPath() const { return temporary_; }
  // After Prepare: whether Commit writes into the old file instead of renaming.
  bool InPlace() const { return inPlace_; }

private:
  int KeepAttributes();
  int WriteInPlace();
  // touched: whether the old file was changed at all before a failure.
  int OverwriteWith(int out, off_t oldSize, off_t newSize, bool &touched);
  void KeepNewContents();

  std::string target_;
  std::string temporary_;
  std::string kept_;
  int fd_ = -1;
  TKeep keep_ = TKeep::Mode;
  bool hadOld_ = false;
  bool inPlace_ = false;
  mode_t oldMode_ = 0;
  uid_t oldOwner_ = 0;
  gid_t oldGroup_ = 0;
  nlink_t oldLinks_ = 0;
};
