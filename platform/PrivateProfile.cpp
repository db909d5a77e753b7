#include "platform/PrivateProfile.h"

#include "platform/ProfileLines.h"
#include "platform/WindowsDirectory.h"
#include "os/FileIdentity.h"
#include "runtime/TextLines.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

using namespace ProfileLines;

// Reading goes through a parsed copy of the file, kept until the file changes: start-up asks for
// 31 keys, and parsing a large file for each of them took seconds.
namespace {

// No options file comes near this; a larger one (a sparse file, a disk image put there by
// mistake) would take the memory of the machine, so it reads like an unreadable one.
constexpr off_t MaxFileBytes = off_t{1} << 30;

std::string LowerName(std::string_view name) {
  std::string lower(name);
  for (char &c : lower)
    c = Lower(c);
  return lower;
}

uint32_t NameHash(std::string_view name) {
  uint32_t hash = 2166136261u; // FNV-1a, without regard to case like the names
  for (char c : name)
    hash = (hash ^ static_cast<unsigned char>(Lower(c))) * 16777619u;
  return hash;
}

bool IsSectionLine(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  return first != std::string_view::npos && text[first] == '[';
}

// The file's bytes, where the first section of each name stands, and for each section looked up
// so far its key lines ordered by name hash (file order among equals, so the first key wins).
class TParsedProfile {
public:
  explicit TParsedProfile(std::string bytes) : bytes_(std::move(bytes)) {
    const std::string_view all(bytes_);
    long current = -1;
    ForEachLine(all.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0, all.size(),
                [&](size_t begin, size_t end, size_t next) {
                  const std::string_view text = all.substr(begin, end - begin);
                  if (!IsSectionLine(text))
                    return;
                  const ParsedLine parsed = Parse(text);
                  if (current >= 0)
                    sections_[static_cast<size_t>(current)].end = begin;
                  // Only the first of duplicate sections counts; the lines under a later one belong to none.
                  const auto [it, isNew] =
                      sectionIndex_.try_emplace(LowerName(parsed.name), sections_.size());
                  current = isNew ? static_cast<long>(sections_.size()) : -1;
                  if (isNew)
                    sections_.push_back({next, all.size(), false, {}});
                });
    if (current >= 0)
      sections_[static_cast<size_t>(current)].end = all.size();
  }

  std::optional<std::string_view> Value(std::string_view section, std::string_view key) {
    const auto it = sectionIndex_.find(LowerName(section));
    if (it == sectionIndex_.end())
      return std::nullopt;
    Section &s = sections_[it->second];
    if (!s.indexed)
      IndexKeys(s);
    const uint64_t hash = NameHash(key);
    auto candidate = std::lower_bound(s.keys.begin(), s.keys.end(), hash << 32);
    for (; candidate != s.keys.end() && *candidate >> 32 == hash; ++candidate) {
      const ParsedLine parsed = Parse(LineAt(static_cast<uint32_t>(*candidate)));
      if (SameName(parsed.name, key))
        return parsed.value;
    }
    return std::nullopt;
  }

  const std::string &Bytes() const { return bytes_; }

private:
  struct Section {
    size_t begin, end; // the lines after the header, up to the next header
    bool indexed;
    // Name hash above, where the line begins below: in order, equal names stand in file order.
    // Files are far below 4 GB (MaxFileBytes), so the place fits.
    std::vector<uint64_t> keys;
  };

  template <typename F> void ForEachLine(size_t begin, size_t stop, F &&visit) const {
    const std::string_view text = std::string_view(bytes_).substr(0, stop);
    while (begin < stop) {
      const TLineSpan line = ::LineAt(text, begin);
      visit(line.Begin, line.End, line.Next);
      begin = line.Next;
    }
  }

  std::string_view LineAt(size_t begin) const {
    return std::string_view(bytes_).substr(begin, ::LineAt(bytes_, begin).End - begin);
  }

  void IndexKeys(Section &s) {
    size_t count = 0; // counted first, so the index is never copied as it grows
    ForEachLine(s.begin, s.end, [&](size_t begin, size_t end, size_t) {
      count += std::string_view(bytes_).substr(begin, end - begin).find('=') != std::string_view::npos;
    });
    s.keys.reserve(count);
    ForEachLine(s.begin, s.end, [&](size_t begin, size_t end, size_t) {
      const ParsedLine parsed = Parse(std::string_view(bytes_).substr(begin, end - begin));
      if (parsed.kind == LineKind::Key)
        s.keys.push_back(uint64_t{NameHash(parsed.name)} << 32 | begin);
    });
    std::sort(s.keys.begin(), s.keys.end());
    s.indexed = true;
  }

  std::string bytes_;
  std::vector<Section> sections_;
  std::unordered_map<std::string, size_t> sectionIndex_;
};

// File times advance in steps, so a file changed shortly before it was read may change again
// without its times moving: a clock tick (at most 10 ms) where times carry fractions of a second,
// up to two seconds on file systems that keep whole (or even) seconds.
int64_t SettleNanoseconds(const timespec &changed) {
  return changed.tv_nsec != 0 ? 50'000'000 : 2'000'000'000;
}

int64_t Nanoseconds(const timespec &t) { return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; }

struct CachedProfile {
  std::string fileName;
  TFileIdentity identity{};
  bool settled = false; // read after the file's last change had surely moved its times
  std::unique_ptr<TParsedProfile> parsed;
};

std::mutex cacheLock;
// One parsed copy per file: the user's options file and an administrator's under it are read
// in turns, key by key, and must not push each other out. Few files are ever read; past that,
// the one read longest ago goes.
constexpr size_t MaxCachedFiles = 4;
std::vector<CachedProfile> caches;

CachedProfile &CacheFor(const std::string &fileName) {
  const auto found =
      std::find_if(caches.begin(), caches.end(), [&](const CachedProfile &c) { return c.fileName == fileName; });
  if (found != caches.end()) {
    std::rotate(caches.begin(), found, found + 1); // most recently read first
    return caches.front();
  }
  if (caches.size() >= MaxCachedFiles)
    caches.pop_back();
  caches.insert(caches.begin(), CachedProfile{});
  caches.front().fileName = fileName;
  return caches.front();
}

// Reads an open regular file whole. Another process may be rewriting it: a read counts only when
// the file's identity is the same before and after it; a file that never holds still for a few
// attempts gives what was read last, and is not trusted later. Never reads past the size the
// file had, so a file that keeps growing cannot keep us here.
std::optional<std::string> ReadOpenFile(int fd, TFileIdentity &identity, bool &stable) {
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    return std::nullopt;
  std::string bytes;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (st.st_size > MaxFileBytes)
      return std::nullopt;
    identity = FileIdentityOf(st);
    bytes.assign(static_cast<size_t>(st.st_size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
      if (n > 0)
        got += static_cast<size_t>(n);
      else if (n == 0)
        break;
      else if (errno != EINTR)
        return std::nullopt;
    }
    bytes.resize(got);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
      return std::nullopt;
    stable = FileIdentityOf(st) == identity && got == static_cast<size_t>(st.st_size);
    if (stable)
      break;
  }
  return bytes;
}

// The parsed file, from the cache while the file is unchanged; nullptr when it cannot be read.
// Called with cacheLock held.
TParsedProfile *ParsedFile(const std::string &fileName) {
  // Non-blocking, so that a FIFO in the file's place cannot hang the program.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return nullptr; // a missing file (the usual administrator's) takes no place in the cache
  CachedProfile &cache = CacheFor(fileName);
  struct stat st;
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (regular && cache.parsed && cache.settled &&
      cache.identity == FileIdentityOf(st)) {
    ::close(fd);
    return cache.parsed.get();
  }
  TFileIdentity identity{};
  bool stable = false;
  std::optional<std::string> bytes = regular ? ReadOpenFile(fd, identity, stable) : std::nullopt;
  ::close(fd);
  if (!bytes)
    return nullptr;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const bool settled =
      stable && Nanoseconds(now) - Nanoseconds(identity.Changed) > SettleNanoseconds(identity.Changed);
  // A recently changed file is read at every call, but parsed again only when its bytes differ.
  if (!(cache.parsed && cache.identity == identity &&
        cache.parsed->Bytes() == *bytes)) {
    cache.parsed.reset(); // the old copy goes before the new one is built
    cache.parsed = std::make_unique<TParsedProfile>(std::move(*bytes));
  }
  cache.identity = identity;
  cache.settled = settled;
  return cache.parsed.get();
}

} // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string &fileName) {
  const std::lock_guard<std::mutex> lock(cacheLock);
  // The user's file first, then, key by key, an administrator's under it.
  std::vector<std::string> files{fileName};
  for (std::string &counterpart : SystemCounterparts(fileName))
    files.push_back(std::move(counterpart));
  for (const std::string &file : files) {
    TParsedProfile *parsed = ParsedFile(file);
    if (const std::optional<std::string_view> value = parsed ? parsed->Value(section, key) : std::nullopt)
      return std::string(FirstCharacters(Unquote(*value), kMaxProfileValueLength));
  }
  return std::string(defaultValue);
}
