#pragma once
// The lines of an options file as both reading and writing see them: where each line ends, what
// it is (a section header, a key, anything else), and how names and values are compared and
// cut. Inline: reading a large file calls these for every line and character.
#include "runtime/TextLines.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ProfileLines {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

inline std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool SameName(std::string_view a, std::string_view b) {
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

inline std::vector<Line> SplitLines(const std::string &bytes) {
  std::vector<Line> lines;
  size_t begin = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (begin < bytes.size()) {
    const TLineSpan line = LineAt(bytes, begin);
    lines.push_back({line.Begin, line.End, line.Next});
    begin = line.Next;
  }
  return lines;
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;  // section or key name, trimmed
  std::string_view value; // key value, trimmed, quotes still on
};

inline ParsedLine Parse(std::string_view text) {
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

inline std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// The first maxCharacters UTF-8 characters, never splitting one.
inline std::string_view FirstCharacters(std::string_view text, size_t maxCharacters) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (startsCharacter && characters++ == maxCharacters)
      return text.substr(0, i);
  }
  return text;
}

inline bool HasLineEnd(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

} // namespace ProfileLines
