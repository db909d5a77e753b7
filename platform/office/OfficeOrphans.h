#pragma once
// Instances whose program died without ending them (a crash, a kill) would run hidden for ever.
// Every profile folder names the process that owns it; the next program that starts an
// instance ends the instances of owners that are gone and removes their folders.
#include "platform/office/ProfileOwner.h"

#include <filesystem>
#include <string>

// The argument by which an office instance is told its profile folder.
std::string OfficeProfileArgument(const std::filesystem::path &folder);

// Ends the processes of every profile folder whose owner is gone and removes the folder.
// Folders without a readable owner (another user's, or one being made) are left alone.
void EndOrphanedInstances();

// Removes the socket files an instance on this profile folder leaves in /tmp when it is killed
// or restarts: its own pipe, and the one by which it keeps other instances off its profile.
void RemovePipeFiles(const std::filesystem::path &folder);
