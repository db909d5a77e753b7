#pragma once
// <stand-in dir>/com<N>: the name under which the tool finds its serial device. The station links
// it to its pseudo-terminal and only ever touches a link it made itself.
#include <filesystem>

// $XDG_CONFIG_HOME/kstune, or $HOME/.config/kstune when XDG_CONFIG_HOME is unset or empty.
std::filesystem::path StandInDir(); // throws TStationError when neither is set

class TComLink {
public:
  // Creates the directory if needed and the link; refuses (TStationError) when the name is taken,
  // unless by a stale link into /dev/pts whose pseudo-terminal no longer exists: that is replaced.
  TComLink(int comNumber, const std::filesystem::path &target);
  ~TComLink();
  TComLink(const TComLink &) = delete;
  TComLink &operator=(const TComLink &) = delete;

  const std::filesystem::path &Path() const { return path_; }
  // The target of the stale link that was replaced; empty when none was.
  const std::filesystem::path &Replaced() const { return replaced_; }
  // Points the link somewhere else, if it is still ours.
  void Retarget(const std::filesystem::path &target);
  // Removes the link if it is still ours (same target as we made); leaves anything else alone.
  void Remove();

private:
  bool StillOurs() const;
  bool ReplaceStale();

  std::filesystem::path path_;
  std::filesystem::path target_;
  std::filesystem::path replaced_;
  bool made_ = false;
};
