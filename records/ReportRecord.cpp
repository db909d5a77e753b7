#include "records/ReportRecord.h"

std::string NumberSeries(const TParamValues &values) {
  return params::NumberSeriesOf([&](int number) { return values[number]; });
}

std::pair<std::string, std::string> RecordLines(const TParamValues &values) {
  // The first line takes groups while it is shorter than 51 digits: parameters 1..17.
  constexpr size_t FirstLineDigits = 51;
  const std::string series = NumberSeries(values);
  return {"K" + series.substr(0, FirstLineDigits), "K" + series.substr(FirstLineDigits)};
}
