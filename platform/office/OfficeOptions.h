#pragma once
#include <chrono>
#include <filesystem>

// How an office instance is started and how long it may take to answer.
struct TOfficeOptions {
  // The office's program folder; empty: the one the build found.
  std::filesystem::path ProgramDir;
  // The program started as the office's launcher; empty: the launcher in ProgramDir.
  std::filesystem::path Launcher;
  // From start until the instance accepts its pipe connection.
  std::chrono::milliseconds StartTimeout{30000};
  // One remote call (a cell, a close, the end).
  std::chrono::milliseconds CallTimeout{10000};
  // Loading or storing a document.
  std::chrono::milliseconds LoadTimeout{60000};
};
