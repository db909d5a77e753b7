#pragma once
// The 102-digit number series: the 34 values as three-digit groups ("000".."255") in ascending
// parameter number, no separators. It is what kstune's "Обновить" field takes back, so the
// viewer copies a record's values in exactly this form.
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace viewer {

using Values = std::array<uint8_t, 34>; // index 0 holds parameter 1

constexpr int SeriesLength = 102;

QString SeriesFromValues(const Values &values);

// Strict: exactly 102 decimal digits and every group at most 255. A journal series that fails
// is shown as damaged rather than guessed at.
std::optional<Values> ValuesFromSeries(const QString &series);

} // namespace viewer
