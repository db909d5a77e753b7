#include "platform/IniFile.h"

#include "platform/PrivateProfile.h"
#include "runtime/StrToInt.h"

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
  return GetPrivateProfileString(section, key, defaultValue, fileName_);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const {
  std::string text = ReadString(section, key, "");
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.replace(0, 2, "$");
  int32_t value = 0;
  return TryStrToInt(text, value) ? value : defaultValue;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  WritePrivateProfileString(section, key, value, fileName_);
}
