#pragma once
// The file a store writes beside the report before it replaces it: ".~kstune.<pid>.<name>",
// so that a program that died in the middle of a store can be told by its process id.
#include <filesystem>
#include <string>
#include <sys/types.h>

std::string StoreTemporaryName(const std::filesystem::path &report, pid_t pid);
// Removes what stores of programs that are gone left beside the report: their temporary files
// and the office's locks of them. Files of running programs stay.
void RemoveDeadStoreFiles(const std::filesystem::path &report);
