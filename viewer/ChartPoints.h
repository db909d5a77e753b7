#pragma once
// Samples as the chart draws them. A poll's value holds until the next poll, so the line is
// drawn as steps (a straight line between two polls would invent a ramp where the value jumped).
// A two-hour session polled every second has more samples than the chart has pixels: each
// slice of time as wide as a pixel keeps its first, lowest, highest and last sample, so every
// jump and every peak stays visible while the line stays light to draw.
#include <QList>
#include <QPointF>

namespace viewer {

// samples: in time order (x). slices: how many slices the time is cut into (about the plot's width
// in pixels); 0 keeps every sample.
QList<QPointF> StepPoints(const QList<QPointF> &samples, int slices = 0);

} // namespace viewer
