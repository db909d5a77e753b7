#include "platform/OptionsFile.h"

#include "platform/PrivateProfile.h"
#include "platform/WindowsDirectory.h"

std::string OptionsFilePath() { return WindowsDirectory() + "/Q417Options.ini"; }

std::string FactoryDatabaseSetting() {
  std::string uri = GetPrivateProfileString("Journal", "Database", "", OptionsFilePath());
  // Quotes keep blanks inside them; a URI never has any at its ends.
  const char *const blanks = " \t\n\v\f\r";
  uri.erase(0, uri.find_first_not_of(blanks));
  uri.erase(uri.find_last_not_of(blanks) + 1);
  return uri;
}
