#pragma once
// The shown records to CSV, and a station's history as a PDF page with its chart.
#include "viewer/RecordTexts.h"
#include "viewer/TelemetryChart.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

namespace viewer {

// UTF-8 with a byte-order mark (so that spreadsheets take the Cyrillic), a header of the
// journal's column names, one record a line, CR LF. The series goes in as ="…", which
// spreadsheets keep as text, leading zeros and all; any other text that a spreadsheet would take
// for a formula gets a leading apostrophe.
QByteArray CsvOf(const std::vector<TJournalRow> &records);

// Writes through a temporary file beside the target, so a failure leaves no half-written file.
// False with the reason in *error.
bool SaveFile(const QString &path, const QByteArray &bytes, QString *error);

struct HistoryPage {
  QString title;          // "Радиостанция 00A3F1"
  QStringList lines;      // model, benches, sessions…
  QString valuesSummary;  // what the values on exit are made of
  QStringList valueLines; // the values it left with, a table in fixed-width lines
  QString series;         // the same as the number series, all of it
  TelemetryData telemetry; // of the session the page shows
  QString chartTitle;
};

bool SaveHistoryPdf(const QString &path, const HistoryPage &page, QString *error);

} // namespace viewer
