#pragma once
// A session's telemetry as chart data: the eight DAC values in volts and the REFL/FORW readings
// against time, and each value set in the session as a mark on the time axis.
#include "journal/JournalRecord.h"

#include <QList>
#include <QPointF>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class QChart;

namespace viewer {

// The DAC bytes in the order the station sends them.
extern const std::array<const char *, 8> DacLabels;

// b × 5 / 255 volts: 255 is full scale, 5.00 V.
constexpr double DacVolts(int byte) { return byte * 5.0 / 255.0; }

// The eight bytes of a DAC poll's record, and REFL and FORW of a "REFL-FORV" record, from the
// whole detail (stale bytes noted after them included).
std::optional<std::array<uint8_t, 8>> DacBytes(const QString &detail);
std::optional<std::pair<int, int>> ReflForw(const QString &detail);

struct SetMark {
  qint64 msecs;
  int parameter;
  int value;
  QString text; // for the tooltip: "№ 18 DEV = 83"
};

struct TelemetryData {
  std::array<QList<QPointF>, 8> dac; // x: ms since the epoch (UTC), y: volts
  QList<QPointF> refl, forw;         // y: the raw reading
  std::vector<SetMark> marks;        // values set
  std::vector<SetMark> panel;        // front-panel commands ("Pmax", "Прием"): value = the byte
};

// Where the marks sit on the volts axis: set values just above 0 V, front-panel commands near
// the top, each in a colour no line has.
constexpr double SetMarkVolts = 0.3;
constexpr double PanelMarkVolts = 4.7;

TelemetryData TelemetryOf(const std::vector<TJournalRow> &records);

// A chart of the data: DAC lines on the volts axis, REFL/FORW on a second axis, all drawn as
// steps (a poll's value holds until the next) and summarised to the chart's width; the set
// values and the front-panel commands as marks of their own whose tooltips name them. The
// caller owns it.
QChart *TelemetryChart(const TelemetryData &data, const QString &title);
// Puts other data into a chart made by TelemetryChart, which is much quicker than a new chart.
void ShowTelemetry(QChart *chart, const TelemetryData &data, const QString &title);

} // namespace viewer
