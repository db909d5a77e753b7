#include "records/ReportRecord.h"

std::string ValueGroup(uint8_t value) {
  const std::string digits = std::to_string(value);
  return std::string(3 - digits.size(), '0') + digits;
}

std::pair<std::string, std::string> RecordLines(const TParamValues &values) {
  std::string first, second;
  for (int k = 1; k <= ParamCount; ++k) {
    // The first line takes groups while it is shorter than 51 digits: parameters 1..17.
    std::string &line = first.size() < 51 ? first : second;
    line += ValueGroup(values[k]);
  }
  return {"K" + first, "K" + second};
}
