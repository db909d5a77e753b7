#include "viewer/StrictSeries.h"

namespace viewer {

QString SeriesFromValues(const Values &values) { return QString::fromLatin1(params::NumberSeries(values)); }

std::optional<Values> ValuesFromSeries(const QString &series) {
  // One byte a character: whatever is beyond Latin-1 becomes '?', which is no digit.
  return params::StrictSeriesValues(series.toLatin1().toStdString());
}

} // namespace viewer
