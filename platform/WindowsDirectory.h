#pragma once
// Where the tool keeps its files on this platform, in place of the Windows directory:
// $XDG_CONFIG_HOME/kstune, or $HOME/.config/kstune when XDG_CONFIG_HOME is unset or empty.
// Asking does not create it; the first file written there does (TextFile::Rewrite).
//
// Under it stand an administrator's folders, read-only to the tool: <d>/kstune for each d of
// $XDG_CONFIG_DIRS (/etc/xdg when unset or empty). A bench PC is set up there once for all its
// users; what a user has in his own folder wins.
#include <string>
#include <vector>

// The user's home: $HOME when set and not empty, else the password database's entry for the
// user, else /tmp; without a trailing "/" (so "/" itself is ""); join names with "/".
std::string HomeDirectory();

// The user's folders of the freedesktop convention, one rule for both: $XDG_CONFIG_HOME or
// $XDG_DATA_HOME when set and not empty, else <home>/.config or <home>/.local/share; without a
// trailing "/". kstune's own folder in each is <folder>/kstune.
enum class TUserFolder { Config, Data };
std::string UserFolder(TUserFolder folder);

// The directory, UserFolder(TUserFolder::Config) + "/kstune"; join file names with "/".
std::string WindowsDirectory();

// The administrator's folders, the first the most important, without a trailing "/". Entries of
// $XDG_CONFIG_DIRS that are not absolute paths are left out, as the convention asks.
std::vector<std::string> SystemDirectories();

// For a file of the Windows directory, the same name in each administrator's folder, in order;
// empty for any other path.
std::vector<std::string> SystemCounterparts(const std::string &fileName);
