#pragma once
// kstune-journal's command line: --help and --version print and end; --database URI names the
// journal; --export FILE writes the visits list and ends, with no window and no display needed.
#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace viewer {

struct ExportRequest {
  QString file; // .xlsx or .csv
  QDate from, to;
  QString serial;
};

struct JournalOptions {
  std::optional<QString> database;
  std::optional<ExportRequest> exportTo;
};

// -1 to go on (options filled in), otherwise the exit status: 0 after --help/--version, 2 for a
// wrong option or value (said on stderr in one line and a hint).
int HandleCommandLine(const QStringList &arguments, JournalOptions &options);

} // namespace viewer
