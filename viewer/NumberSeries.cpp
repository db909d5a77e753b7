#include "viewer/NumberSeries.h"

namespace viewer {

QString SeriesFromValues(const Values &values) {
  QString series;
  series.reserve(SeriesLength);
  for (uint8_t value : values)
    series += QStringLiteral("%1").arg(value, 3, 10, QLatin1Char('0'));
  return series;
}

std::optional<Values> ValuesFromSeries(const QString &series) {
  if (series.size() != SeriesLength)
    return std::nullopt;
  Values values{};
  for (int k = 0; k < 34; ++k) {
    int group = 0;
    for (int i = 0; i < 3; ++i) {
      const QChar c = series[3 * k + i];
      if (c < QLatin1Char('0') || c > QLatin1Char('9'))
        return std::nullopt;
      group = group * 10 + (c.unicode() - '0');
    }
    if (group > 255)
      return std::nullopt;
    values[static_cast<size_t>(k)] = static_cast<uint8_t>(group);
  }
  return values;
}

} // namespace viewer
