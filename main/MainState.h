#pragma once
// The main window's run-time variables. Everything here lives on the user-interface thread.
#include "table/ParamList.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class TIniFile;
class TExcelApplication;
class TApdComPort;

using params::ParamCount;

// The working copy of the station's 34 tuning values, indexed by parameter number 1..34.
class TParamValues {
public:
  uint8_t &operator[](int number) { return values_.at(number - 1); }
  uint8_t operator[](int number) const { return values_.at(number - 1); }
  bool operator==(const TParamValues &) const = default;

private:
  std::array<uint8_t, ParamCount> values_{};
};

struct TMainState {
  TMainState();
  ~TMainState();
  TMainState(const TMainState &) = delete;
  TMainState &operator=(const TMainState &) = delete;

  uint8_t SelectedParam = 0; // parameter chosen for editing, 0 = none
  uint8_t StepSize = 0;
  bool LinkAck = false;   // the last answer wait got its byte
  uint8_t LastReply = 0;  // the byte it got
  uint8_t PollMode = 0;   // telemetry refresh: 2 armed, 3 due
  uint8_t ComNumber = 0;  // port of the next connect
  // The adapter gives back every byte sent (found at connect); each echo still on its way is
  // counted, and taken off before the station's answer is awaited.
  bool AdapterEchoes = false;
  unsigned EchoesDue = 0;
  int32_t SelectedColumn = 0;
  int32_t SelectedRow = 0;
  std::string ModelCode;
  std::unique_ptr<TIniFile> OptionsFile;
  // Created by the first connect, without an owner, and kept for the rest of the run.
  std::unique_ptr<TApdComPort> ComPort;
  TParamValues ParamValues;
  std::array<uint8_t, 8> DacValues{};
  std::array<uint8_t, 3> SerialNumber{};
  std::array<uint8_t, 4> ProcessorDate{};
  // The spreadsheet application holding the report workbook opened by "...", until "Запись"
  // or the next "..." ends it; released with the window, which ends the instance.
  std::unique_ptr<TExcelApplication> ReportWorkbook;
};
