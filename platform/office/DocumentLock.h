#pragma once
// The office's standard lock file, ".~lock.<name>#" beside a document: whoever edits the
// document keeps one there, naming himself.
#include <filesystem>
#include <optional>
#include <string>

struct TDocumentLock {
  std::string UserName;   // the name set in the holder's office, often empty
  std::string SystemUser; // the holder's login
  std::string Host;
  std::string Time;    // when the holder opened the document, as his office wrote it
  std::string UserUrl; // the holder's office profile
};

// Beside the document where it really is: the office follows symbolic links.
std::filesystem::path DocumentLockPath(const std::filesystem::path &document);
// The lock of document; nothing when it has none. A lock file that cannot be read or parsed
// still counts as a lock, with empty fields.
std::optional<TDocumentLock> ReadDocumentLock(const std::filesystem::path &document);
// True for a lock an instance of ours left behind when its program died: this user, this host,
// one of our profiles, whose owner no longer runs (or whose folder is gone).
bool IsStaleOwnLock(const TDocumentLock &lock);
// The lock of whoever holds the document now: a lock an instance of ours left behind when its
// program died is removed, and the document counts as free.
std::optional<TDocumentLock> HeldDocumentLock(const std::filesystem::path &document);
// Who holds it, for the technician: "Иван Петров (ivan@bench-pc)", "kstune (ivan@bench-pc)".
std::string LockHolder(const TDocumentLock &lock);
