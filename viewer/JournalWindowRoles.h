#pragma once
// What the viewer's window keeps on its history items, shared by the files that make up the window.
#include <Qt>

namespace viewer::window_roles {

constexpr int FollowIntervalMs = 500;
constexpr int ChartRedrawMs = 2000;     // the least time between redraws while following
constexpr int ChartRedrawMostMs = 10000; // the most: a jump is never shown later than this
constexpr int RecordRole = Qt::UserRole + 1;    // position in records_, on record items only
constexpr int SessionRole = Qt::UserRole + 2;
constexpr int TelemetryRole = Qt::UserRole + 3; // a folded run of telemetry polls
constexpr int FirstRole = Qt::UserRole + 4;     // its first record, in records_
constexpr int CountRole = Qt::UserRole + 5;     // how many
constexpr int ReceiptColumn = 6;                // the history's "Получено сервером"

} // namespace viewer::window_roles
