#pragma once
// The number series' cases, one table for every reading of it: the series alone, as the viewer
// reads and copies it. A sound row gives its 34 values; any other series is refused.
#include "table/NumberSeries.h"

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// The series of base for every parameter but the changed ones, (parameter, value) each: written
// out digit by digit here, for tests to compare the code's series with.
inline std::string SeriesText(int base, const std::vector<std::pair<int, int>> &changes = {}) {
  std::string series;
  for (int number = 1; number <= 34; ++number) {
    int value = base;
    for (auto [parameter, changed] : changes)
      if (parameter == number)
        value = changed;
    series += {static_cast<char>('0' + value / 100), static_cast<char>('0' + value / 10 % 10),
               static_cast<char>('0' + value % 10)};
  }
  return series;
}

struct SeriesRow {
  const char *name;
  std::string series;
  bool sound;
  int base = 0;                                  // sound: every parameter but the changed ones
  std::vector<std::pair<int, int>> changes = {}; // sound: (parameter, value)

  std::optional<params::SeriesValues> Values() const {
    if (!sound)
      return std::nullopt;
    params::SeriesValues values;
    values.fill(static_cast<uint8_t>(base));
    for (auto [parameter, value] : changes)
      values[static_cast<size_t>(parameter - 1)] = static_cast<uint8_t>(value);
    return values;
  }
};

inline void PrintTo(const SeriesRow &row, std::ostream *os) { *os << row.name; }

inline std::vector<SeriesRow> SeriesRows() {
  const std::string zeros(102, '0');
  return {
      {"AllZero", zeros, true},
      {"FirstIs255", "255000000000000000000000000000000000000000000000000"
                     "000000000000000000000000000000000000000000000000000", true, 0, {{1, 255}}},
      {"EighteenIs7", "000000000000000000000000000000000000000000000000000"
                      "007000000000000000000000000000000000000000000000000", true, 0, {{18, 7}}},
      {"LastIs1OverTwelves", "012012012012012012012012012012012012012012012012012"
                             "012012012012012012012012012012012012012012012012001", true, 12, {{34, 1}}},
      // Parameters 1..12 = 100..111, 13..17 = 0, then the design values of 18..34.
      {"Design",
       "100101102103104105106107108109110111"
       "000000000000000"
       "083"
       "120120200188193055025155044171087203121244065055",
       true, 0,
       {{1, 100}, {2, 101}, {3, 102}, {4, 103}, {5, 104}, {6, 105}, {7, 106}, {8, 107}, {9, 108},
        {10, 109}, {11, 110}, {12, 111}, {18, 83}, {19, 120}, {20, 120}, {21, 200}, {22, 188},
        {23, 193}, {24, 55}, {25, 25}, {26, 155}, {27, 44}, {28, 171}, {29, 87}, {30, 203},
        {31, 121}, {32, 244}, {33, 65}, {34, 55}}},
      {"Short101", zeros.substr(1), false},
      {"Long103", zeros + "0", false},
      {"GroupOver255", "300" + zeros.substr(3), false},
      {"Group256", "256" + zeros.substr(3), false},
      {"NotDigits", "12a" + zeros.substr(3), false},
      {"BlankFirst", " 12" + zeros.substr(3), false},
      {"BlankInLastGroup", zeros.substr(3) + "3 0", false},
      {"Sign", "-01" + zeros.substr(3), false},
      {"Empty", "", false},
  };
}
