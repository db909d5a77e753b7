#pragma once
// A pseudo-terminal pair for serial tests: the slave side is the "port" a test opens (link it
// as <dir>/com<n>), the master side plays the far end. An optional echo peer answers every
// byte; it can be told to hold its reads so that the kernel's buffers fill up.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class PtyPair {
public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair &) = delete;
  PtyPair &operator=(const PtyPair &) = delete;

  const std::string &SlavePath() const { return slavePath_; }
  int Master() const { return master_; }

  // Writes every byte to the far end's output (the port receives them).
  void Write(const void *bytes, size_t count);
  void Write(const std::vector<uint8_t> &bytes) { Write(bytes.data(), bytes.size()); }
  // Reads until `count` bytes arrived from the port or timeoutMs passed; returns what came.
  std::vector<uint8_t> Read(size_t count, int timeoutMs);
  // Bytes the port sent that the far end has not read yet.
  int Pending() const;
  // The output speed (a B* constant) set on the line, as the far end sees it.
  unsigned MasterSpeed() const;

  // Echo peer: a thread that sends every byte straight back.
  void StartEcho();
  void StopEcho();
  // Unplugs the far end: the port sees a hang-up.
  void CloseMaster();

private:
  void EchoLoop();

  int master_ = -1;
  int stopFd_ = -1;
  std::string slavePath_;
  std::thread echo_;
};
