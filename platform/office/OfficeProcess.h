#pragma once
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>

// One headless office process tree: started from an argument vector in a process group of its
// own, with a user profile of its own in a fresh temporary folder, listening on a pipe with a
// unique name. Ending it leaves no process and no profile behind. The guard is tied to the
// thread that starts the process: start it from a thread that lives as long as the program
// (the user-interface thread).
class TOfficeProcess {
public:
  // Starts the office's launcher (programDir's own, unless launcher names another program)
  // under a guard that ends the instance when this program ends, however it ends; throws
  // Exception when that fails.
  explicit TOfficeProcess(const std::filesystem::path &programDir,
                          const std::filesystem::path &launcher = {});
  ~TOfficeProcess();
  TOfficeProcess(const TOfficeProcess &) = delete;
  TOfficeProcess &operator=(const TOfficeProcess &) = delete;

  const std::string &PipeName() const { return pipeName_; }
  pid_t ProcessGroup() const { return group_; }
  const std::filesystem::path &Profile() const { return profile_; }

  // False once the launcher and every process it left have exited. The guard is not reaped before End, so the
  // group id cannot be taken by another process while this object lives.
  bool Running() const;
  // Kills the whole group at once; callable from any thread until End.
  void Kill() const;
  // Gives the launcher up to grace to exit by itself, then kills the group, reaps the launcher,
  // waits for the group to empty and removes the profile. Safe to call again.
  void End(std::chrono::milliseconds grace);

  // Live (not zombie) processes whose command line contains marker, e.g. a profile's path.
  static int CountProcesses(const std::string &marker);

private:
  bool fromTemplate_ = false; // before profile_, which sets it
  std::filesystem::path profile_;
  std::string pipeName_;
  pid_t group_ = -1;
  std::atomic<bool> ended_ = false;
};
