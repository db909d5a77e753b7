#pragma once
#include <filesystem>
#include <string>

// Everything a file holds, byte for byte; empty when it cannot be read.
std::string FileBytes(const std::filesystem::path &path);
