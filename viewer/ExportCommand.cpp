#include "viewer/ExportCommand.h"

#include "viewer/JournalReader.h"
#include "viewer/VisitList.h"

#include <cstdio>

namespace viewer {

namespace {

int Fail(const QString &why) {
  std::fprintf(stderr, "kstune-journal: %s\n", QString(why).replace(QLatin1Char('\n'), QLatin1Char(' ')).toLocal8Bit().constData());
  return 1;
}

} // namespace

int RunExport(const ExportRequest &request, const JournalSource &source) {
  JournalReader reader;
  if (!reader.Open(source))
    return Fail(reader.Error());
  const std::vector<SessionSummary> sessions = reader.LoadSessions();
  if (!reader.Error().isEmpty())
    return Fail(reader.Error());
  const std::vector<VisitRow> rows = VisitRows(reader, sessions, {request.serial, request.from, request.to});
  if (!reader.Error().isEmpty())
    return Fail(reader.Error());
  QString error;
  if (!SaveVisits(request.file, rows, &error))
    return Fail(error);
  std::printf("%s\n", QStringLiteral("Визитов в %1: %2").arg(request.file).arg(rows.size()).toLocal8Bit().constData());
  return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace viewer
