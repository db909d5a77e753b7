#pragma once
// Another program holding a port: a child process keeps `path` open until Release() or
// destruction, either locked and exclusive the way an open port holds it, or opened plainly, the
// way a serial terminal does, with nothing but its descriptor to show for it.
#include <string>
#include <sys/types.h>

class THeldPort {
public:
  enum THow { Locked, Plain };
  explicit THeldPort(const std::string &path, THow how = Locked);
  ~THeldPort() { Release(); }
  THeldPort(const THeldPort &) = delete;
  THeldPort &operator=(const THeldPort &) = delete;

  bool Holding() const { return child_ > 0 && release_ >= 0 && held_; }
  pid_t Pid() const { return child_; }
  // Lets go of the port and waits until the child has ended.
  void Release();

private:
  pid_t child_ = -1;
  int release_ = -1;
  bool held_ = false;
};
