#include "platform/office/DocumentLock.h"

#include "platform/office/FileUrl.h"
#include "platform/office/ProfileOwner.h"
#include "os/ThisSystem.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace {

// Fields end in "," and the entry in ";"; a backslash takes the next character as it is.
std::vector<std::string> Fields(const std::string &text) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size())
      fields.back() += text[++i];
    else if (c == ',')
      fields.emplace_back();
    else if (c == ';')
      break;
    else
      fields.back() += c;
  }
  return fields;
}


// The profile folder a lock names: its URL is percent-encoded wherever the temporary folder's
// name holds a blank, a "+" or a letter outside ASCII.
std::filesystem::path UrlPath(const std::string &url) { return FileUrlPath(url); }

} // namespace

std::filesystem::path DocumentLockPath(const std::filesystem::path &document) {
  std::error_code ec;
  std::filesystem::path real = std::filesystem::weakly_canonical(document, ec);
  if (ec)
    real = document;
  return real.parent_path() / (".~lock." + real.filename().string() + "#");
}

std::optional<TDocumentLock> ReadDocumentLock(const std::filesystem::path &document) {
  const auto path = DocumentLockPath(document);
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
    return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto fields = Fields(text);
  fields.resize(5);
  return TDocumentLock{fields[0], fields[1], fields[2], fields[3], fields[4]};
}

bool IsStaleOwnLock(const TDocumentLock &lock) {
  if (lock.SystemUser != LoginName() || lock.Host != HostName())
    return false;
  const auto profile = UrlPath(lock.UserUrl);
  if (profile.filename().string().rfind(OfficeFolderPrefix, 0) != 0)
    return false;
  std::error_code ec;
  return !std::filesystem::exists(profile, ec) || ProfileOwnerGone(profile);
}

std::optional<TDocumentLock> HeldDocumentLock(const std::filesystem::path &document) {
  auto lock = ReadDocumentLock(document);
  if (lock && IsStaleOwnLock(*lock)) {
    std::error_code ec;
    std::filesystem::remove(DocumentLockPath(document), ec);
    return std::nullopt;
  }
  return lock;
}

std::string LockHolder(const TDocumentLock &lock) {
  std::string who = lock.UserName;
  if (who.empty())
    who = UrlPath(lock.UserUrl).filename().string().rfind(OfficeFolderPrefix, 0) == 0 ? "kstune" : "";
  std::string where = lock.SystemUser;
  if (!lock.Host.empty())
    where += (where.empty() ? "" : "@") + lock.Host;
  if (who.empty())
    return where.empty() ? "неизвестно кем" : where;
  return where.empty() ? who : who + " (" + where + ")";
}
