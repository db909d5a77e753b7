#include "runtime/ProgramOptions.h"

#include <cstdio>

namespace {

int Print(const QString &text) {
  std::fputs(text.toLocal8Bit().constData(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

QString OptionName(const QCommandLineOption &option) { return QStringLiteral("--") + option.names().constLast(); }

} // namespace

const char *ProgramVersion() { return KSTUNE_VERSION; }

QStringList ProgramArguments(int argc, char **argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i)
    arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

TProgramOptions::TProgramOptions(QString program, const QString &description, QString seeAlso)
    : program_(std::move(program)), seeAlso_(std::move(seeAlso)),
      help_({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this text.")),
      version_(QStringLiteral("version"), QStringLiteral("Show the version.")) {
  parser_.setApplicationDescription(description);
  parser_.addOptions({help_, version_});
}

void TProgramOptions::Add(const QCommandLineOption &option, bool mayBeEmpty) {
  parser_.addOption(option);
  if (!option.valueName().isEmpty())
    valued_.emplace_back(option, mayBeEmpty);
}

int TProgramOptions::Parse(const QStringList &arguments) {
  if (!parser_.parse(arguments))
    return Refuse(parser_.errorText());
  if (parser_.isSet(help_)) {
    // Qt names the program by the path it was started as, or by a placeholder before an
    // application object exists: the usage line is ours, the same wherever it was started from.
    const QString text = parser_.helpText();
    return Print(QStringLiteral("Usage: %1 [options]").arg(program_) + text.mid(text.indexOf(QLatin1Char('\n'))) +
                 QLatin1Char('\n') + seeAlso_ + QLatin1Char('\n'));
  }
  if (parser_.isSet(version_))
    return Print(QStringLiteral("%1 %2\n").arg(program_, QString::fromLatin1(ProgramVersion())));
  if (!parser_.positionalArguments().isEmpty())
    return Refuse(QStringLiteral("unknown argument '%1'").arg(parser_.positionalArguments().constFirst()));
  for (const auto &[option, mayBeEmpty] : valued_) {
    const QStringList values = parser_.values(option);
    if (values.size() > 1)
      return Refuse(QStringLiteral("%1 given twice").arg(OptionName(option)));
    if (values.size() == 1 && values.constFirst().isEmpty() && !mayBeEmpty)
      return Refuse(QStringLiteral("%1 wants a value").arg(OptionName(option)));
  }
  return -1;
}

int TProgramOptions::Refuse(const QString &why) const {
  std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program_.toLocal8Bit().constData(), why.toLocal8Bit().constData(),
               program_.toLocal8Bit().constData());
  return 2;
}
