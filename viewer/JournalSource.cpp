#include "viewer/JournalSource.h"

#include "journal/FactoryUri.h"
#include "journal/JournalSchema.h"
#include "platform/OptionsFile.h"

#include <QUrl>

namespace viewer {

JournalSource LocalJournal() {
  JournalSource source;
  source.path = JournalFilePath();
  return source;
}

std::optional<JournalSource> FactoryJournal() {
  const QString uri = QString::fromStdString(FactoryDatabaseSetting());
  if (uri.isEmpty())
    return std::nullopt;
  return SourceFromArgument(uri);
}

JournalSource SourceFromArgument(const QString &argument) {
  JournalSource source;
  if (argument.startsWith(QLatin1String("postgresql://")) || argument.startsWith(QLatin1String("postgres://"))) {
    source.server = true;
    source.uri = argument;
  } else if (argument.startsWith(QLatin1String("file:"))) {
    source.path = QUrl(argument).toLocalFile();
    if (source.path.isEmpty())
      source.path = argument.mid(5);
  } else {
    source.path = argument;
  }
  return source;
}

QString WithoutPassword(const QString &uri) {
  // Read as kstune reads the options file's key, so a password is dropped wherever it was
  // written (user:secret@, ?password=); a text not understood is not repeated at all.
  QString why;
  if (const std::optional<TFactoryUri> server = ParseFactoryUri(uri, why))
    return server->Display;
  return QStringLiteral("postgresql://…");
}

QString JournalSource::Display() const { return server ? WithoutPassword(uri) : path; }

} // namespace viewer
