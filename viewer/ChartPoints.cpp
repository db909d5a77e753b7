#include "viewer/ChartPoints.h"

#include <algorithm>
#include <array>

namespace viewer {

namespace {

QList<QPointF> Summarised(const QList<QPointF> &samples, int slices) {
  if (slices <= 0 || samples.size() <= qsizetype(slices) * 4)
    return samples;
  const double first = samples.front().x(), last = samples.back().x();
  const double width = (last - first) / slices;
  if (width <= 0)
    return samples;
  QList<QPointF> kept;
  kept.reserve(qsizetype(slices) * 4);
  qsizetype i = 0;
  while (i < samples.size()) {
    const int slice = std::min(slices - 1, int((samples[i].x() - first) / width));
    const double end = first + width * (slice + 1);
    qsizetype low = i, high = i, j = i;
    for (; j < samples.size() && (samples[j].x() < end || slice == slices - 1); ++j) {
      if (samples[j].y() < samples[low].y())
        low = j;
      if (samples[j].y() > samples[high].y())
        high = j;
    }
    std::array<qsizetype, 4> picks{i, low, high, j - 1};
    std::sort(picks.begin(), picks.end());
    for (size_t k = 0; k < picks.size(); ++k)
      if (k == 0 || picks[k] != picks[k - 1])
        kept.append(samples[picks[k]]);
    i = j;
  }
  return kept;
}

} // namespace

QList<QPointF> StepPoints(const QList<QPointF> &samples, int slices) {
  const QList<QPointF> kept = Summarised(samples, slices);
  QList<QPointF> steps;
  steps.reserve(kept.size() * 2);
  for (qsizetype i = 0; i < kept.size(); ++i) {
    if (i > 0 && kept[i].y() != kept[i - 1].y())
      steps.append({kept[i].x(), kept[i - 1].y()});
    steps.append(kept[i]);
  }
  return steps;
}

} // namespace viewer
