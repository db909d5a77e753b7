#include "main/BenchJournal.h"

#include "journal/Journal.h"
#include "journal/JournalFailure.h"
#include "journal/JournalSchema.h"
#include "platform/CommDevice.h"
#include "platform/OptionsFile.h"
#include "runtime/Dialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>

#include <csignal>
#include <cstdio>

void StartBenchJournal() {
  TJournalSettings settings;
  settings.LocalFile = JournalFilePath();
  settings.FactoryUri = QString::fromStdString(FactoryDatabaseSetting());
  settings.Tell = [](const QString &message) {
    std::fprintf(stderr, "kstune: %s\n", message.toLocal8Bit().constData());
    if (QCoreApplication *app = QCoreApplication::instance())
      QMetaObject::invokeMethod(app, [message] { ShowNotice(message.toStdString()); }, Qt::QueuedConnection);
  };
  Journal().Start(std::move(settings));
}

void EndBenchJournal() {
  // Closing the window while connected sends nothing to the station; the journal says so.
  Journal().SessionEnded(TSessionEnd::WindowClosed);
  const TJournalEnding ending = Journal().Stop();
  if (ending.Unsent > 0)
    std::fprintf(stderr, "kstune: %s\n", UnsentAtExitMessage(ending.Unsent, JournalFilePath()).toLocal8Bit().constData());
  if (ending.Refused > 0)
    std::fprintf(stderr, "kstune: %s\n", RefusedAtExitMessage(ending.Refused, JournalFilePath()).toLocal8Bit().constData());
  if (ending.Lost == 0)
    return;
  const QString message = LostAtExitMessage(static_cast<int>(ending.Lost), JournalFilePath(), ending.Why);
  // Never a box: the window is gone, and nothing may hold the end of kstune.
  ShowNotice(message.toStdString());
}

QString BenchPortName(int comNumber) {
  const QString path = QString::fromStdString(ComPortPath(comNumber));
  const QString device = QFileInfo(path).canonicalFilePath();
  return QStringLiteral("COM%1 %2").arg(comNumber).arg(device.isEmpty() ? path : device);
}

std::optional<TSessionEnd> SessionEndOfSignal(int signal) {
  switch (signal) {
  case SIGINT:
    return TSessionEnd::Sigint;
  case SIGTERM:
    return TSessionEnd::Sigterm;
  case SIGHUP:
    return TSessionEnd::Sighup;
  default:
    return std::nullopt;
  }
}
