#pragma once
// Another program holding a port: a child process keeps `path` open, locked and exclusive, the
// way an open port holds it, until Release() or destruction.
#include <string>
#include <sys/types.h>

class THeldPort {
public:
  explicit THeldPort(const std::string &path);
  ~THeldPort() { Release(); }
  THeldPort(const THeldPort &) = delete;
  THeldPort &operator=(const THeldPort &) = delete;

  bool Holding() const { return child_ > 0 && release_ >= 0 && held_; }
  // Lets go of the port and waits until the child has ended.
  void Release();

private:
  pid_t child_ = -1;
  int release_ = -1;
  bool held_ = false;
};
