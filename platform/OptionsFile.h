#pragma once
// kstune's options file, and its one key read by more than kstune's window: both programs find
// them here, so that kstune and kstune-journal can never disagree on either.
#include <string>

// <WindowsDirectory()>/Q417Options.ini: [All], the models' presets and [Journal]. Worked out on
// every call, so a changed XDG_CONFIG_HOME counts.
std::string OptionsFilePath();

// [Journal] Database: the factory database's libpq connection URI, without the blanks around it;
// empty when the key is missing or empty (then only the local journal is written). Read under an
// administrator's defaults like every key of the file.
std::string FactoryDatabaseSetting();
