// The dispatcher's trace (bytes the user took and queued) and log (its own actions), kept in
// memory and written to text files on request.
#include "serial/AwUser.h"

#include "os/OsError.h"
#include "os/ThisSystem.h"

#include "serial/OoMisc.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>

namespace {

constexpr size_t MaxLineLength = 78;

// One byte as the trace and the log show it.
std::string FormatByte(uint8_t b, bool inHex, bool allHex) {
  char text[8];
  if (allHex) {
    std::snprintf(text, sizeof text, "[%02X]", b);
  } else if (b >= (inHex ? '!' : ' ') && b <= '~') {
    text[0] = static_cast<char>(b);
    text[1] = 0;
  } else if (inHex) {
    std::snprintf(text, sizeof text, "[%02X]", b);
  } else {
    std::snprintf(text, sizeof text, "[%u]", b);
  }
  return text;
}

// Appends items to lines, ending a line before an item that would take it past 78 characters.
class TLineWriter {
public:
  explicit TLineWriter(std::string &out) : out_(out) {}
  void Item(const std::string &item) {
    if (!line_.empty() && line_.size() + item.size() > MaxLineLength)
      EndLine();
    line_ += item;
  }
  void EndLine() {
    out_ += line_;
    out_ += "\r\n";
    line_.clear();
  }
  void Flush() {
    if (!line_.empty())
      EndLine();
  }

private:
  std::string &out_;
  std::string line_;
};

int WriteText(const std::string &fileName, const std::string &text, bool append) {
  std::ofstream file(fileName, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
  if (!file)
    return -OsErrorForFileErrno(errno);
  file << text;
  file.flush();
  return file ? 0 : -101;
}

const char *LogKindName(uint8_t kind) {
  switch (kind) {
  case lkQueue:
    return "Queue";
  case lkWrite:
    return "Write";
  case lkRead:
    return "Read";
  case lkNotify:
    return "Notify";
  default:
    return "Other";
  }
}

const char *LogSubKindName(uint8_t kind, uint8_t subKind) {
  if (kind == lkWrite)
    return subKind == lsDone ? "Done" : "Failed";
  if (kind == lkNotify)
    return "Avail";
  return "Bytes";
}

// The dispatcher's trace or its log, behind the one interface the component drives both by.
class TDispatcherRecording final : public TApdRecording {
public:
  TDispatcherRecording(TApdBaseDispatcher &d, bool isLog) : D(d), IsLog(isLog) {}
  int Init(unsigned long size) override { return IsLog ? D.InitLogging(size) : D.InitTracing(size); }
  void Resume() override { IsLog ? D.StartLogging() : D.StartTracing(); }
  void Pause() override { IsLog ? D.StopLogging() : D.StopTracing(); }
  void Clear() override { IsLog ? D.ClearLogging() : D.ClearTracing(); }
  void Abort() override { IsLog ? D.AbortLogging() : D.AbortTracing(); }
  int Write(const std::string &fileName, bool inHex, bool allHex, bool append) override {
    if (IsLog)
      return append ? D.AppendLog(fileName, inHex, allHex) : D.DumpLog(fileName, inHex, allHex);
    return append ? D.AppendTrace(fileName, inHex, allHex) : D.DumpTrace(fileName, inHex, allHex);
  }

private:
  TApdBaseDispatcher &D;
  const bool IsLog;
};

} // namespace

TApdRecording &TApdBaseDispatcher::TraceRecording() {
  if (!TraceRecording_)
    TraceRecording_ = std::make_unique<TDispatcherRecording>(*this, false);
  return *TraceRecording_;
}

TApdRecording &TApdBaseDispatcher::LogRecording() {
  if (!LogRecording_)
    LogRecording_ = std::make_unique<TDispatcherRecording>(*this, true);
  return *LogRecording_;
}

// ---------------------------------------------------------------------------------------------
// Trace

int TApdBaseDispatcher::InitTracing(unsigned long numEntries) {
  if (numEntries > MaxTraceSize)
    return -ecBadArgument;
  std::lock_guard<TCriticalSection> state(StateLock);
  TraceQueue.assign(numEntries * 2, 0);
  TraceSize = numEntries;
  TraceIndex = 0;
  TraceWrapped = false;
  TraceOn = numEntries > 0;
  return 0;
}

void TApdBaseDispatcher::AddTrace(char kind, uint8_t byte) {
  if (!TraceOn || TraceSize == 0)
    return;
  TraceQueue[TraceIndex * 2] = static_cast<uint8_t>(kind);
  TraceQueue[TraceIndex * 2 + 1] = byte;
  if (++TraceIndex == TraceSize) {
    TraceIndex = 0;
    TraceWrapped = true;
  }
}

void TApdBaseDispatcher::StartTracing() {
  std::lock_guard<TCriticalSection> state(StateLock);
  TraceOn = TraceSize > 0;
}

void TApdBaseDispatcher::StopTracing() {
  std::lock_guard<TCriticalSection> state(StateLock);
  TraceOn = false;
}

void TApdBaseDispatcher::ClearTracing() {
  std::lock_guard<TCriticalSection> state(StateLock);
  TraceIndex = 0;
  TraceWrapped = false;
}

void TApdBaseDispatcher::AbortTracing() {
  std::lock_guard<TCriticalSection> state(StateLock);
  TraceQueue.clear();
  TraceQueue.shrink_to_fit();
  TraceSize = TraceIndex = 0;
  TraceWrapped = false;
  TraceOn = false;
}

int TApdBaseDispatcher::DumpTrace(const std::string &fileName, bool inHex, bool allHex) {
  return WriteTrace(fileName, inHex, allHex, false);
}

int TApdBaseDispatcher::AppendTrace(const std::string &fileName, bool inHex, bool allHex) {
  return WriteTrace(fileName, inHex, allHex, true);
}

int TApdBaseDispatcher::WriteTrace(const std::string &fileName, bool inHex, bool allHex, bool append) {
  std::string text;
  {
    std::lock_guard<TCriticalSection> state(StateLock);
    const unsigned long count = TraceWrapped ? TraceSize : TraceIndex;
    const unsigned long first = TraceWrapped ? TraceIndex : 0;
    TLineWriter lines(text);
    char kind = 0;
    for (unsigned long i = 0; i < count; ++i) {
      const unsigned long at = (first + i) % TraceSize;
      const char entryKind = static_cast<char>(TraceQueue[at * 2]);
      if (entryKind != kind) {
        lines.Flush();
        if (kind != 0)
          text += "\r\n";
        text += entryKind == 'R' ? "Receive: " : "Transmit: ";
        text += "\r\n";
        kind = entryKind;
      }
      lines.Item(FormatByte(TraceQueue[at * 2 + 1], inHex, allHex));
    }
    lines.Flush();
  }
  AbortTracing();
  if (text.empty())
    return 0;
  return WriteText(fileName, text, append);
}

// ---------------------------------------------------------------------------------------------
// Log

int TApdBaseDispatcher::InitLogging(unsigned long size) {
  std::lock_guard<TCriticalSection> state(StateLock);
  LogQueue.clear();
  LogSize = size > MaxLogSize ? MaxLogSize : size;
  LogUsed = 0;
  LogAllocated = LogSize > 0;
  LogOn = LogAllocated;
  return 0;
}

void TApdBaseDispatcher::AddLog(TLogKind kind, uint8_t subKind, uint32_t data, const void *bytes,
                                uint32_t length) {
  if (!LogOn)
    return;
  constexpr unsigned long headerSize = LogEntryHeaderSize;
  if (headerSize + length > LogSize)
    length = LogSize > headerSize ? static_cast<uint32_t>(LogSize - headerSize) : 0;
  if (headerSize + length > LogSize)
    return;
  TLogEntry entry{kind, subKind, static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                           std::chrono::steady_clock::now().time_since_epoch())
                                                           .count() -
                                                       TimeBase),
                  data, {}};
  if (bytes && length)
    entry.Bytes.assign(static_cast<const uint8_t *>(bytes), static_cast<const uint8_t *>(bytes) + length);
  while (!LogQueue.empty() && LogUsed + headerSize + length > LogSize) {
    LogUsed -= headerSize + LogQueue.front().Bytes.size();
    LogQueue.pop_front();
  }
  LogUsed += headerSize + length;
  LogQueue.push_back(std::move(entry));
}

void TApdBaseDispatcher::StartLogging() {
  std::lock_guard<TCriticalSection> state(StateLock);
  LogOn = LogAllocated;
}

void TApdBaseDispatcher::StopLogging() {
  std::lock_guard<TCriticalSection> state(StateLock);
  LogOn = false;
}

void TApdBaseDispatcher::ClearLogging() {
  std::lock_guard<TCriticalSection> state(StateLock);
  LogQueue.clear();
  LogUsed = 0;
}

void TApdBaseDispatcher::AbortLogging() {
  std::lock_guard<TCriticalSection> state(StateLock);
  LogQueue.clear();
  LogUsed = LogSize = 0;
  LogOn = LogAllocated = false;
}

int TApdBaseDispatcher::DumpLog(const std::string &fileName, bool inHex, bool allHex) {
  return WriteLog(fileName, inHex, allHex, false);
}

int TApdBaseDispatcher::AppendLog(const std::string &fileName, bool inHex, bool allHex) {
  return WriteLog(fileName, inHex, allHex, true);
}

int TApdBaseDispatcher::WriteLog(const std::string &fileName, bool inHex, bool allHex, bool append) {
  std::string text;
  {
    std::lock_guard<TCriticalSection> state(StateLock);
    if (!LogAllocated)
      return 0;
    text += "SERX v3.00\r\n";
    text += std::string("Compiler : g++ ") + __VERSION__ + "\r\n";
    text += "Operating System : Windows NT " + SystemNameAndRelease() + "\r\n\r\n";
    for (const auto &entry : LogQueue) {
      // "%07.7d" and "%08.8x": the precision pads with zeros already.
      char head[96];
      std::snprintf(head, sizeof head, "%.7d %8s  %-8s  %-12s  %.8x  ", static_cast<int>(entry.Time),
                    LogKindName(entry.Kind), LogSubKindName(entry.Kind, entry.SubKind), "", entry.Data);
      std::string line = head;
      for (uint8_t b : entry.Bytes)
        line += FormatByte(b, inHex, allHex);
      text += line + "\r\n";
    }
  }
  AbortLogging();
  return WriteText(fileName, text, append);
}
