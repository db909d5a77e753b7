#pragma once
// Cells of the CSV files the viewer writes, for spreadsheets that open them: nothing a
// spreadsheet would run as a formula, and texts that must stay text (leading zeros) kept so.
#include <QByteArray>
#include <QString>

namespace viewer {

// Quoted when it holds a separator, a quote or a line break; with a leading apostrophe when a
// spreadsheet would otherwise take it for a formula (=, +, -, @, a tab or a line break first).
QByteArray CsvCell(const QString &text);

// A cell that must stay text ("000123", "120E10", a number series): written as ="…" when `keep`
// says the text is what it should be (digits, hex digits), else as an ordinary defused cell, so
// a forged value never becomes a live formula.
QByteArray CsvTextCell(const QString &text, bool keep);

} // namespace viewer
