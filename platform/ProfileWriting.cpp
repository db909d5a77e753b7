// Writing one key of an options file: every other line stays byte for byte, and the file is
// replaced whole, so that a failure leaves it as it was.
#include "platform/PrivateProfile.h"

#include "platform/ProfileLines.h"
#include "runtime/Exception.h"
#include "runtime/TextFile.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

using namespace ProfileLines;

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

} // namespace

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
