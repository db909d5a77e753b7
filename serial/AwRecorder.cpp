#include "serial/AwRecorder.h"

#include <algorithm>

namespace {
constexpr size_t MaxFileNameLength = 255;
}

void TApdRecorder::SetName(const std::string &value) { Name_ = value.substr(0, MaxFileNameLength); }

int TApdRecorder::Set(TTraceLogState value, TApdRecording *open, bool force) {
  if (!open) {
    State_ = value == tlOn ? tlOn : tlOff;
    return 0;
  }
  if (value == State_ && !force)
    return 0;
  return Apply(value, *open, force);
}

int TApdRecorder::Resize(uint32_t value, TApdRecording *open) {
  value = std::min(value, MaxSize);
  if (value == Size_)
    return 0;
  Size_ = value;
  if (!open)
    return 0;
  if (State_ == tlOn)
    return Apply(tlOn, *open, false);
  if (State_ == tlPause)
    Apply(tlOff, *open, false);
  return 0;
}

int TApdRecorder::Apply(TTraceLogState value, TApdRecording &recording, bool restart) {
  int result = 0;
  switch (value) {
  case tlOff:
    recording.Abort();
    State_ = tlOff;
    break;
  case tlOn:
    if (State_ == tlPause && !restart)
      recording.Resume();
    else
      result = recording.Init(Size_);
    State_ = result == 0 ? tlOn : tlOff;
    break;
  case tlDump:
  case tlAppend:
    if (Running())
      result = recording.Write(Name_, Hex_, AllHex_, value == tlAppend);
    State_ = tlOff;
    break;
  case tlClear:
    if (Running())
      recording.Clear();
    break;
  case tlPause:
    if (State_ == tlOn) {
      recording.Pause();
      State_ = tlPause;
    }
    break;
  }
  return result;
}
