#pragma once
// The number series: the 34 values as three-digit decimal groups ("000".."255") in ascending
// parameter number, with no separators. The report's two record lines, the journal's series and
// the viewer's copy for "Обновить" are all this one form; it depends on nothing, like the table.
#include "table/ParamList.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace params {

constexpr int ValueGroupDigits = 3;
constexpr int NumberSeriesLength = ValueGroupDigits * ParamCount;

using SeriesValues = std::array<uint8_t, ParamCount>; // index 0 holds parameter 1

// One value as exactly three decimal digits with leading zeros, "000" to "255".
inline std::string ValueGroup(uint8_t value) {
  return {static_cast<char>('0' + value / 100), static_cast<char>('0' + value / 10 % 10),
          static_cast<char>('0' + value % 10)};
}

// The series of the values that valueOf(number) gives for the numbers 1..34.
template <typename ValueOf> std::string NumberSeriesOf(ValueOf &&valueOf) {
  std::string series;
  series.reserve(NumberSeriesLength);
  for (int number = 1; number <= ParamCount; ++number)
    series += ValueGroup(static_cast<uint8_t>(valueOf(number)));
  return series;
}

inline std::string NumberSeries(const SeriesValues &values) {
  return NumberSeriesOf([&](int number) { return values[static_cast<size_t>(number - 1)]; });
}

// A series read strictly: exactly 102 decimal digits and no group above 255, else nothing. For
// stored series, where anything else is damage rather than something typed to be converted.
inline std::optional<SeriesValues> StrictSeriesValues(std::string_view series) {
  if (series.size() != static_cast<size_t>(NumberSeriesLength))
    return std::nullopt;
  SeriesValues values{};
  for (size_t k = 0; k < values.size(); ++k) {
    int group = 0;
    for (char c : series.substr(ValueGroupDigits * k, ValueGroupDigits)) {
      if (c < '0' || c > '9')
        return std::nullopt;
      group = group * 10 + (c - '0');
    }
    if (group > 255)
      return std::nullopt;
    values[k] = static_cast<uint8_t>(group);
  }
  return values;
}

} // namespace params
