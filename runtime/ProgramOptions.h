#pragma once
// The command line of kstune's programs, one convention for all, on Qt's parser: --help (-h)
// and --version print on standard output and end with status 0 (1 when that output fails); an
// unknown option, a missing or empty value, a value option given twice or an argument that is no
// option is said on standard error in one line "<program>: why", with the hint
// "Try '<program> --help'.", and ends with status 2. None of it needs a display or an
// application object, so it answers before either is made.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// The version every program prints: --version, the exchange record's first line.
const char *ProgramVersion();

// argv as the parser takes it, the program's own name first.
QStringList ProgramArguments(int argc, char **argv);

class TProgramOptions {
public:
  // description: the help's paragraph under the usage line; seeAlso: its last line.
  TProgramOptions(QString program, const QString &description, QString seeAlso);

  // An option with a value takes it once, and not empty unless mayBeEmpty.
  void Add(const QCommandLineOption &option, bool mayBeEmpty = false);

  // -1 to go on; otherwise the status to end the program with, the help, the version or the
  // refusal said.
  int Parse(const QStringList &arguments);

  bool IsSet(const QCommandLineOption &option) const { return parser_.isSet(option); }
  QString Value(const QCommandLineOption &option) const { return parser_.value(option); }

  // A refusal of the program's own rules, said the same way; returns 2.
  int Refuse(const QString &why) const;

private:
  QString program_, seeAlso_;
  QCommandLineParser parser_;
  const QCommandLineOption help_, version_;
  std::vector<std::pair<QCommandLineOption, bool>> valued_;
};
