#include "viewer/ViewerOptions.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

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

int Print(const QString &text) {
  std::fputs(text.toLocal8Bit().constData(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int Refuse(const QString &why) {
  std::fprintf(stderr, "kstune-journal: %s\nTry 'kstune-journal --help'.\n", why.toLocal8Bit().constData());
  return 2;
}

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
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromUtf8(Description));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this text."));
  const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
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
  parser.addOptions({help, version, database, exportTo, from, to, serial});
  if (!parser.parse(arguments))
    return Refuse(parser.errorText());
  if (parser.isSet(help))
    return Print(parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("kstune-journal")) +
                 QStringLiteral("\nSee also: kstune(1), kstune-journal(1).\n"));
  if (parser.isSet(version))
    return Print(QStringLiteral("kstune-journal " KSTUNE_VERSION "\n"));
  if (!parser.positionalArguments().isEmpty())
    return Refuse(QStringLiteral("unknown argument '%1'").arg(parser.positionalArguments().first()));
  for (const QCommandLineOption *option : {&database, &exportTo, &from, &to, &serial}) {
    const QStringList values = parser.values(*option);
    if (values.size() > 1)
      return Refuse(QStringLiteral("--%1 given twice").arg(option->names().first()));
    if (values.size() == 1 && values.first().isEmpty() && option != &serial)
      return Refuse(QStringLiteral("--%1 wants a value").arg(option->names().first()));
  }
  if (parser.isSet(database))
    options.database = parser.value(database);
  if (!parser.isSet(exportTo)) {
    for (const QCommandLineOption *option : {&from, &to, &serial})
      if (parser.isSet(*option))
        return Refuse(QStringLiteral("--%1 is for --export").arg(option->names().first()));
    return -1;
  }
  ExportRequest request;
  request.file = parser.value(exportTo);
  const QString suffix = QFileInfo(request.file).suffix().toLower();
  if (suffix != QLatin1String("xlsx") && suffix != QLatin1String("csv"))
    return Refuse(QStringLiteral("--export wants a file name ending in .xlsx or .csv, not '%1'").arg(request.file));
  for (const auto &[option, day] : {std::pair{&from, &request.from}, std::pair{&to, &request.to}}) {
    if (!parser.isSet(*option))
      continue;
    const std::optional<QDate> parsed = Day(parser.value(*option));
    if (!parsed)
      return Refuse(QStringLiteral("--%1 wants a day as YYYY-MM-DD, not '%2'")
                        .arg(option->names().first(), parser.value(*option)));
    *day = *parsed;
  }
  if (request.from.isValid() && request.to.isValid() && request.from > request.to)
    return Refuse(QStringLiteral("--from %1 is after --to %2")
                      .arg(request.from.toString(Qt::ISODate), request.to.toString(Qt::ISODate)));
  request.serial = parser.value(serial).trimmed();
  options.exportTo = request;
  return -1;
}

} // namespace viewer
