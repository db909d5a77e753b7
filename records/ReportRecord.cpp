#include "records/ReportRecord.h"

std::pair<std::string, std::string> RecordLines(const TParamValues &values) {
  // The first line holds the first 51 digits, parameters 1..17; the second the rest.
  constexpr size_t FirstLineDigits = 51;
  const std::string series = params::NumberSeriesOf([&](int number) { return values[number]; });
  return {"K" + series.substr(0, FirstLineDigits), "K" + series.substr(FirstLineDigits)};
}
