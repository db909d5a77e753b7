#pragma once
// An INI file object over one path, read and written through the private-profile service: every
// call goes to the file itself, so what a technician edits by hand counts at the next read.
#include <cstdint>
#include <string>
#include <string_view>

class TIniFile {
public:
  explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

  const std::string &FileName() const { return fileName_; }

  std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
  // The text with a leading "0x"/"0X" turned into "$", then StrToInt; any text that fails, the
  // empty one included, gives the default.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
  // Raises EInOutError when the file cannot be written; the old file then stays as it was.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

private:
  std::string fileName_;
};
