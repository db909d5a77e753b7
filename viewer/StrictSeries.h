#pragma once
// The number series as the viewer reads and copies it: what kstune's "Обновить" field takes
// back, so a record's values are copied in exactly this form.
#include "table/NumberSeries.h"

#include <QString>

#include <optional>

namespace viewer {

using Values = params::SeriesValues; // index 0 holds parameter 1

QString SeriesFromValues(const Values &values);

// Strict: exactly 102 decimal digits and every group at most 255. A journal series that fails
// is shown as damaged rather than guessed at.
std::optional<Values> ValuesFromSeries(const QString &series);

} // namespace viewer
