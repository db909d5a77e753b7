#pragma once
// The trace and the log as the port component drives them. Both follow the same states
// (TTraceLogState) and keep the same five properties; they differ only in the dispatcher's
// recording behind them and in their largest size.
//
//   TApdRecorder trace(MaxTraceSize, "SERX.TRC");
//   trace.Set(tlOn, nullptr, false);                          // port closed: remembered only
//   CheckError(port, trace.Set(tlDump, &dispatcher.TraceRecording(), false));   // port open
#include "serial/AwTypes.h"

#include <cstdint>
#include <string>

// One of the dispatcher's two recordings: a ring in memory, written to a text file on request.
class TApdRecording {
public:
  virtual ~TApdRecording() = default;
  // Starts recording afresh into a ring of `size`; 0 or a negative code.
  virtual int Init(unsigned long size) = 0;
  virtual void Resume() = 0;
  virtual void Pause() = 0;
  virtual void Clear() = 0;
  // Discards the ring; recording is off.
  virtual void Abort() = 0;
  // Writes the ring out (replacing or appending to the file) and discards it; 0 or a negative code.
  virtual int Write(const std::string &fileName, bool inHex, bool allHex, bool append) = 0;
};

class TApdRecorder {
public:
  TApdRecorder(uint32_t maxSize, std::string name) : MaxSize(maxSize), Name_(std::move(name)) {}

  TTraceLogState State() const { return State_; }
  uint32_t Size() const { return Size_; }
  const std::string &Name() const { return Name_; }
  bool Hex() const { return Hex_; }
  bool AllHex() const { return AllHex_; }
  void SetHex(bool value) { Hex_ = value; }
  void SetAllHex(bool value) { AllHex_ = value; }
  // Names longer than a path the layer accepts are cut.
  void SetName(const std::string &value);

  // On or paused: something is recorded that a dump would write.
  bool Running() const { return State_ == tlOn || State_ == tlPause; }

  // Sets the state. With the port closed (`open` null) only on and off are kept, anything else
  // is off. With it open the recording follows; `force` applies a state equal to the current one
  // and starts a paused recording afresh instead of resuming it. Returns 0 or the recording's
  // failure; a dump or an append ends the recording.
  int Set(TTraceLogState value, TApdRecording *open, bool force);
  // Sizes above the largest are stored as the largest. With the port open a running recording
  // starts again, empty, with the new size, and a paused one is given up.
  int Resize(uint32_t value, TApdRecording *open);

  const uint32_t MaxSize;

private:
  int Apply(TTraceLogState value, TApdRecording &recording, bool restart);

  TTraceLogState State_ = tlOff;
  uint32_t Size_ = 10000;
  std::string Name_;
  bool Hex_ = true;
  bool AllHex_ = false;
};
