#pragma once
// Where the tool keeps its files on this platform, in place of the Windows directory:
// $XDG_CONFIG_HOME/kstune, or $HOME/.config/kstune when XDG_CONFIG_HOME is unset or empty.
// Asking does not create it; the first file written there does (TextFile::Rewrite).
#include <string>

// The directory, without a trailing "/"; join file names with "/".
std::string WindowsDirectory();
