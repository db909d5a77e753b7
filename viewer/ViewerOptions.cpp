#include "viewer/ViewerOptions.h"

#include "runtime/ProgramOptions.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace viewer {

namespace {

const char *const Description =
    "Shows the station journal of kstune: the stations a bench touched, each station's sessions\n"
    "and records, the values it left with, and its telemetry. It never opens a serial port.\n"
    "\n"
    "By default it reads the bench's journal, $XDG_DATA_HOME/kstune/journal.sqlite\n"
    "(~/.local/share/kstune/journal.sqlite). The factory's database, named by the key Database\n"
    "in section [Journal] of $XDG_CONFIG_HOME/kstune/Q417Options.ini, is in the menu.\n"
    "\n"
    "With --export it writes the visits (one row a session) to a workbook or CSV file and ends,\n"
    "without a window; exit status 0 when written, 1 when the journal or the file failed,\n"
    "2 for a wrong option. See kstune-journal(1).";

// Exactly YYYY-MM-DD and a real day.
std::optional<QDate> Day(const QString &text) {
  static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
  if (!form.match(text).hasMatch())
    return std::nullopt;
  const QDate day = QDate::fromString(text, Qt::ISODate);
  return day.isValid() ? std::optional<QDate>(day) : std::nullopt;
}

} // namespace

int HandleCommandLine(const QStringList &arguments, JournalOptions &options) {
  options = {};
  TProgramOptions parser(QStringLiteral("kstune-journal"), QString::fromUtf8(Description),
                         QStringLiteral("See also: kstune(1), kstune-journal(1)."));
  const QCommandLineOption database(QStringLiteral("database"),
                                    QStringLiteral("Read this journal: postgresql://user@host/db, or an SQLite file."),
                                    QStringLiteral("URI"));
  const QCommandLineOption exportTo(QStringLiteral("export"),
                                    QStringLiteral("Write the visits to FILE (.xlsx or .csv) and end."),
                                    QStringLiteral("FILE"));
  const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("With --export: visits on or after this day."),
                                QStringLiteral("YYYY-MM-DD"));
  const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("With --export: visits on or before this day."),
                              QStringLiteral("YYYY-MM-DD"));
  const QCommandLineOption serial(QStringLiteral("serial"),
                                  QStringLiteral("With --export: visits whose serial number contains TEXT."),
                                  QStringLiteral("TEXT"));
  for (const QCommandLineOption *option : {&database, &exportTo, &from, &to})
    parser.Add(*option);
  parser.Add(serial, true);
  if (const int status = parser.Parse(arguments); status >= 0)
    return status;
  if (parser.IsSet(database))
    options.database = parser.Value(database);
  if (!parser.IsSet(exportTo)) {
    for (const QCommandLineOption *option : {&from, &to, &serial})
      if (parser.IsSet(*option))
        return parser.Refuse(QStringLiteral("--%1 is for --export").arg(option->names().first()));
    return -1;
  }
  ExportRequest request;
  request.file = parser.Value(exportTo);
  const QString suffix = QFileInfo(request.file).suffix().toLower();
  if (suffix != QLatin1String("xlsx") && suffix != QLatin1String("csv"))
    return parser.Refuse(QStringLiteral("--export wants a file name ending in .xlsx or .csv, not '%1'").arg(request.file));
  for (const auto &[option, day] : {std::pair{&from, &request.from}, std::pair{&to, &request.to}}) {
    if (!parser.IsSet(*option))
      continue;
    const std::optional<QDate> parsed = Day(parser.Value(*option));
    if (!parsed)
      return parser.Refuse(QStringLiteral("--%1 wants a day as YYYY-MM-DD, not '%2'")
                               .arg(option->names().first(), parser.Value(*option)));
    *day = *parsed;
  }
  if (request.from.isValid() && request.to.isValid() && request.from > request.to)
    return parser.Refuse(QStringLiteral("--from %1 is after --to %2")
                             .arg(request.from.toString(Qt::ISODate), request.to.toString(Qt::ISODate)));
  request.serial = parser.Value(serial).trimmed();
  options.exportTo = request;
  return -1;
}

} // namespace viewer
