#pragma once
// A private stand-in Windows directory for one test: XDG_CONFIG_HOME points at a fresh temporary
// directory for the test's lifetime, and everything in it is removed afterwards. XDG_CONFIG_DIRS
// points at a folder inside it too (<root>/system), so that no administrator's file of the machine
// the tests run on counts.
#include <filesystem>
#include <string>

class TempConfigDir {
public:
  TempConfigDir();
  ~TempConfigDir();
  TempConfigDir(const TempConfigDir &) = delete;
  TempConfigDir &operator=(const TempConfigDir &) = delete;

  // $XDG_CONFIG_HOME itself.
  const std::filesystem::path &Root() const { return root_; }
  // The stand-in Windows directory, <root>/kstune (not created until asked for).
  std::filesystem::path KstuneDir() const { return root_ / "kstune"; }
  // Creates the kstune directory and writes a file there with exactly these bytes.
  std::filesystem::path WriteFile(const std::string &name, const std::string &bytes) const;
  // The administrator's kstune folder of the test, <root>/system/kstune (not created until asked for).
  std::filesystem::path SystemKstuneDir() const { return root_ / "system" / "kstune"; }
  // Creates the administrator's folder and writes a file there with exactly these bytes.
  std::filesystem::path WriteSystemFile(const std::string &name, const std::string &bytes) const;
  // Reads a file of the kstune directory, byte for byte ("" when missing).
  std::string ReadFile(const std::string &name) const;
  // Links <dir>/com<n> to target (a dangling target reads as a missing device).
  std::filesystem::path LinkCom(int n, const std::filesystem::path &target) const;

private:
  std::filesystem::path root_;
  std::string oldValue_, oldDirs_;
  bool hadOld_ = false, hadOldDirs_ = false;
};
