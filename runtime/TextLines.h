#pragma once
// Lines of a text held in memory, as every reader of the tool's text files takes them: CR LF,
// LF and CR each end a line, and the last line may have no end.
#include <cstddef>
#include <string_view>

struct TLineSpan {
  size_t Begin; // the line's first byte
  size_t End;   // after its last byte: its line end, or the end of the text
  size_t Next;  // after its line end: where the next line begins
};

// The line that begins at begin. A plain loop: a general search of a set of bytes costs a
// search of the set for every byte, and the options file is read line by line at start.
inline TLineSpan LineAt(std::string_view text, size_t begin) {
  size_t end = begin;
  while (end < text.size() && text[end] != '\r' && text[end] != '\n')
    ++end;
  size_t next = end;
  if (next < text.size())
    next += text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n' ? 2 : 1;
  return {begin, end, next};
}
