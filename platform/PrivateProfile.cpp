#include "platform/PrivateProfile.h"

#include "runtime/Exception.h"
#include "runtime/TextFile.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// The whole file as bytes; nullopt with the error number when it cannot be read.
std::optional<std::string> ReadBytes(const std::string &fileName, int &error) {
  // Non-blocking, so that a FIFO in the file's place cannot hang the program.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = errno;
    return std::nullopt;
  }
  struct stat st;
  error = 0;
  if (::fstat(fd, &st) != 0)
    error = errno;
  else if (S_ISDIR(st.st_mode))
    error = EISDIR;
  else if (!S_ISREG(st.st_mode))
    error = EINVAL;
  std::string bytes;
  char chunk[8192];
  while (error == 0) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n > 0)
      bytes.append(chunk, static_cast<size_t>(n));
    else if (n == 0)
      break;
    else if (errno != EINTR)
      error = errno;
  }
  ::close(fd);
  if (error != 0)
    return std::nullopt;
  return bytes;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i]))
      return false;
  return true;
}

// One line of the file: [begin, end) its text, [end, next) its line end (possibly none).
struct Line {
  size_t begin, end, next;
};

std::vector<Line> SplitLines(const std::string &bytes) {
  std::vector<Line> lines;
  size_t begin = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (begin < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", begin);
    if (end == std::string::npos) {
      lines.push_back({begin, bytes.size(), bytes.size()});
      break;
    }
    const size_t next =
        bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? end + 2 : end + 1;
    lines.push_back({begin, end, next});
    begin = next;
  }
  return lines;
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;  // section or key name, trimmed
  std::string_view value; // key value, trimmed, quotes still on
};

ParsedLine Parse(std::string_view text) {
  ParsedLine parsed;
  text = Trim(text);
  if (text.empty() || text.front() == ';')
    return parsed;
  if (text.front() == '[') {
    // A header without its "]" still names a section: that is what a technician who forgot it meant.
    const size_t close = text.find(']');
    parsed.kind = LineKind::Section;
    parsed.name = Trim(text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    return parsed;
  }
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos)
    return parsed;
  parsed.name = Trim(text.substr(0, equals));
  if (parsed.name.empty())
    return parsed;
  parsed.kind = LineKind::Key;
  parsed.value = Trim(text.substr(equals + 1));
  return parsed;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// The first maxCharacters UTF-8 characters, never splitting one.
std::string_view FirstCharacters(std::string_view text, size_t maxCharacters) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (startsCharacter && characters++ == maxCharacters)
      return text.substr(0, i);
  }
  return text;
}

// Where a section and a key stand in the file (indices into the lines; -1 when absent).
struct Location {
  long section = -1;     // header of the first matching section
  long key = -1;         // first matching key line in it
  long lastKeyLine = -1; // last key line of that section
  std::string_view keyName;
  std::string_view value;
};

Location Find(const std::string &bytes, const std::vector<Line> &lines, std::string_view section,
              std::string_view key) {
  Location found;
  bool inside = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const ParsedLine parsed =
        Parse(std::string_view(bytes).substr(lines[i].begin, lines[i].end - lines[i].begin));
    if (parsed.kind == LineKind::Section) {
      if (inside)
        break; // only the first of duplicate sections counts
      inside = SameName(parsed.name, section);
      if (inside)
        found.section = static_cast<long>(i);
    } else if (parsed.kind == LineKind::Key && inside) {
      found.lastKeyLine = static_cast<long>(i);
      if (found.key < 0 && SameName(parsed.name, key)) {
        found.key = static_cast<long>(i);
        found.keyName = parsed.name;
        found.value = parsed.value;
      }
    }
  }
  return found;
}

bool HasLineEnd(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

} // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string &fileName) {
  int error = 0;
  const std::optional<std::string> bytes = ReadBytes(fileName, error);
  if (!bytes)
    return std::string(defaultValue);
  const Location found = Find(*bytes, SplitLines(*bytes), section, key);
  if (found.key < 0)
    return std::string(defaultValue);
  return std::string(FirstCharacters(Unquote(found.value), kMaxProfileValueLength));
}

void WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string &fileName) {
  if (section.empty() || key.empty() || Trim(section) != section || Trim(key) != key || HasLineEnd(section) ||
      HasLineEnd(key) || HasLineEnd(value) || section.find(']') != std::string_view::npos ||
      key.find('=') != std::string_view::npos || key.front() == ';' || key.front() == '[')
    throw EInOutError("Cannot write [" + std::string(section) + "] " + std::string(key) + " to file \"" +
                          fileName + "\": " + std::generic_category().message(EINVAL),
                      EINVAL);

  int error = 0;
  std::optional<std::string> bytes = ReadBytes(fileName, error);
  if (!bytes && error != ENOENT) // never replace a file we could not read
    throw EInOutError("Cannot read file \"" + fileName + "\": " + std::generic_category().message(error),
                      error);
  const std::string old = bytes.value_or(std::string());
  const std::vector<Line> lines = SplitLines(old);
  const Location found = Find(old, lines, section, key);

  std::string updated;
  if (found.key >= 0) {
    const Line &line = lines[static_cast<size_t>(found.key)];
    updated = old.substr(0, line.begin);
    updated.append(found.keyName).append("=").append(value).append("\r\n");
    updated.append(old, line.next);
  } else if (found.section >= 0) {
    const Line &after =
        lines[static_cast<size_t>(found.lastKeyLine >= 0 ? found.lastKeyLine : found.section)];
    updated = old.substr(0, after.next);
    if (after.next == after.end) // the last line of a file without a final line end
      updated.append("\r\n");
    updated.append(key).append("=").append(value).append("\r\n");
    updated.append(old, after.next);
  } else {
    updated = old;
    if (!updated.empty() && updated.back() != '\n' && updated.back() != '\r' && updated != "\xEF\xBB\xBF")
      updated.append("\r\n");
    updated.append("[").append(section).append("]\r\n");
    updated.append(key).append("=").append(value).append("\r\n");
  }

  TextFile file(fileName);
  file.Rewrite();
  file.Write(updated);
  file.Close();
}
