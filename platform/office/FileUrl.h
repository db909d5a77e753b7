#pragma once
#include <filesystem>
#include <string>

// The file URL of a path, made absolute first: every byte outside the unreserved characters and
// "/" is percent-encoded, so blanks and Cyrillic names reach the office intact.
std::string FileUrl(const std::filesystem::path &path);

// The path a "file://" URL names, percent-decoded; empty for any other URL.
std::filesystem::path FileUrlPath(const std::string &url);
