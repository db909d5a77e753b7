// The states of the trace and the log as the component drives them, against a recording that
// only notes what it is asked to do.
#include "serial/AwRecorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TNotingRecording : public TApdRecording {
public:
  std::vector<std::string> Calls;
  int InitResult = 0;
  int WriteResult = 0;

  int Init(unsigned long size) override {
    Calls.push_back("init " + std::to_string(size));
    return InitResult;
  }
  void Resume() override { Calls.push_back("resume"); }
  void Pause() override { Calls.push_back("pause"); }
  void Clear() override { Calls.push_back("clear"); }
  void Abort() override { Calls.push_back("abort"); }
  int Write(const std::string &fileName, bool inHex, bool allHex, bool append) override {
    Calls.push_back(std::string(append ? "append " : "dump ") + fileName + (inHex ? " hex" : "") +
                    (allHex ? " allhex" : ""));
    return WriteResult;
  }
};

// A recorder brought to `from` on an open port, without noting how.
TApdRecorder RecorderIn(TTraceLogState from, TNotingRecording &recording) {
  TApdRecorder recorder(4000000, "SERX.TRC");
  if (from == tlOn || from == tlPause)
    recorder.Set(tlOn, &recording, false);
  if (from == tlPause)
    recorder.Set(tlPause, &recording, false);
  recording.Calls.clear();
  return recorder;
}

TEST(AwRecorder, OpenPortStatesMoveTheRecording) {
  struct Row {
    TTraceLogState from, to;
    bool force;
    std::vector<std::string> calls;
    TTraceLogState after;
  } rows[] = {
      {tlOff, tlOn, false, {"init 10000"}, tlOn},
      {tlOn, tlOn, false, {}, tlOn},
      {tlOn, tlOn, true, {"init 10000"}, tlOn},
      {tlOn, tlPause, false, {"pause"}, tlPause},
      {tlOff, tlPause, false, {}, tlOff},
      {tlPause, tlOn, false, {"resume"}, tlOn},
      {tlPause, tlOn, true, {"init 10000"}, tlOn},
      {tlOn, tlClear, false, {"clear"}, tlOn},
      {tlPause, tlClear, false, {"clear"}, tlPause},
      {tlOff, tlClear, false, {}, tlOff},
      {tlOn, tlDump, false, {"dump SERX.TRC hex"}, tlOff},
      {tlPause, tlAppend, false, {"append SERX.TRC hex"}, tlOff},
      {tlOff, tlDump, false, {}, tlOff},
      {tlOn, tlOff, false, {"abort"}, tlOff},
      {tlOff, tlOff, true, {"abort"}, tlOff},
  };
  for (const auto &row : rows) {
    TNotingRecording recording;
    TApdRecorder recorder = RecorderIn(row.from, recording);
    EXPECT_EQ(recorder.Set(row.to, &recording, row.force), 0);
    EXPECT_EQ(recording.Calls, row.calls) << row.from << " -> " << row.to << (row.force ? " forced" : "");
    EXPECT_EQ(recorder.State(), row.after) << row.from << " -> " << row.to << (row.force ? " forced" : "");
  }
}

TEST(AwRecorder, ClosedPortKeepsOnlyOnOrOff) {
  for (auto value : {tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause}) {
    TApdRecorder recorder(16000000, "SERX.LOG");
    recorder.Set(tlOn, nullptr, false);
    EXPECT_EQ(recorder.Set(value, nullptr, false), 0);
    EXPECT_EQ(recorder.State(), value == tlOn ? tlOn : tlOff) << value;
  }
}

TEST(AwRecorder, FailuresArePassedOnAndEndTheRecording) {
  TNotingRecording recording;
  TApdRecorder recorder = RecorderIn(tlOff, recording);
  recording.InitResult = -1002;
  EXPECT_EQ(recorder.Set(tlOn, &recording, false), -1002);
  EXPECT_EQ(recorder.State(), tlOff);

  recording.InitResult = 0;
  recorder.Set(tlOn, &recording, false);
  recording.WriteResult = -5;
  recorder.SetHex(false);
  recorder.SetAllHex(true);
  recording.Calls.clear();
  EXPECT_EQ(recorder.Set(tlDump, &recording, false), -5);
  EXPECT_EQ(recording.Calls, (std::vector<std::string>{"dump SERX.TRC allhex"}));
  EXPECT_EQ(recorder.State(), tlOff);
}

TEST(AwRecorder, NewSizeIsCappedAndRestartsOrEndsTheRecording) {
  struct Row {
    uint32_t max;
    TTraceLogState from;
    uint32_t given, stored;
    std::vector<std::string> calls;
    TTraceLogState after;
  } rows[] = {
      {4000000, tlOff, 5000000, 4000000, {}, tlOff},
      {16000000, tlOff, 16000001, 16000000, {}, tlOff},
      {4000000, tlOn, 500, 500, {"init 500"}, tlOn},
      {4000000, tlOn, 10000, 10000, {}, tlOn}, // unchanged: nothing happens
      {4000000, tlPause, 500, 500, {"abort"}, tlOff},
  };
  for (const auto &row : rows) {
    TNotingRecording recording;
    TApdRecorder recorder(row.max, "x");
    if (row.from != tlOff)
      recorder.Set(tlOn, &recording, false);
    if (row.from == tlPause)
      recorder.Set(tlPause, &recording, false);
    recording.Calls.clear();
    EXPECT_EQ(recorder.Resize(row.given, &recording), 0);
    EXPECT_EQ(recorder.Size(), row.stored) << row.given;
    EXPECT_EQ(recording.Calls, row.calls) << row.given;
    EXPECT_EQ(recorder.State(), row.after) << row.given;
  }
  // With the port closed the size is only stored.
  TApdRecorder closed(4000000, "x");
  closed.Set(tlOn, nullptr, false);
  EXPECT_EQ(closed.Resize(4000001, nullptr), 0);
  EXPECT_EQ(closed.Size(), 4000000u);
  EXPECT_EQ(closed.State(), tlOn);
}

TEST(AwRecorder, FileNamesAreCutAt255Characters) {
  TApdRecorder recorder(4000000, "SERX.TRC");
  recorder.SetName(std::string(300, 'a'));
  EXPECT_EQ(recorder.Name(), std::string(255, 'a'));
}

} // namespace
