#pragma once
// Every profile folder of our office instances names the process that owns it, so that what a
// program left behind when it died can be told from what a living one holds.
#include <filesystem>

// Folders of our profiles (and of the profile template) in the temporary folder start with it.
inline constexpr const char *OfficeFolderPrefix = "kstune-office-";

// Records this process as the owner of a profile folder.
void WriteProfileOwner(const std::filesystem::path &folder);
// True when the folder names an owner that no longer runs; false for a living owner and for a
// folder without a readable owner (another user's, or one being made).
bool ProfileOwnerGone(const std::filesystem::path &folder);
