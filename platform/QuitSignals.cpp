#include "platform/QuitSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSockets[2] = {-1, -1};
std::atomic<int> signalsReceived = 0;

void OnQuitSignal(int sig) {
  if (signalsReceived++ > 0) {
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  const int saved = errno;
  const char byte = static_cast<char>(sig);
  [[maybe_unused]] const ssize_t written = write(signalSockets[1], &byte, 1);
  errno = saved;
}

} // namespace

int InstallQuitSignalHandlers() {
  if (signalSockets[0] >= 0)
    return signalSockets[0];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
    return -1;
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int sig : {SIGINT, SIGTERM, SIGHUP})
    sigaction(sig, &action, nullptr);
  return signalSockets[0];
}

int TakeQuitSignal() {
  char byte = 0;
  return read(signalSockets[0], &byte, 1) == 1 ? static_cast<unsigned char>(byte) : 0;
}
