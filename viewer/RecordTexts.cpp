#include "viewer/RecordTexts.h"

#include <QHash>

namespace viewer {

QString OperationText(const QString &operation) {
  static const QHash<QString, QString> texts{
      {QLatin1String(JournalOp::Connect), QStringLiteral("Подключиться")},
      {QLatin1String(JournalOp::Disconnect), QStringLiteral("Отключиться")},
      {QLatin1String(JournalOp::SetValue), QStringLiteral("Значение")},
      {QLatin1String(JournalOp::WriteAll), QStringLiteral("Запись")},
      {QLatin1String(JournalOp::OverwriteColumn), QStringLiteral("Переписать ряд")},
      {QLatin1String(JournalOp::ReadAll), QStringLiteral("Чтение")},
      {QLatin1String(JournalOp::Model), QStringLiteral("Модель")},
      {QLatin1String(JournalOp::Serial), QStringLiteral("Серийный номер")},
      {QLatin1String(JournalOp::ProcessorDate), QStringLiteral("Дата процессора")},
      {QLatin1String(JournalOp::Dac), QStringLiteral("ЦАП")},
      {QLatin1String(JournalOp::ReflForw), QStringLiteral("REFL-FORV")},
      {QLatin1String(JournalOp::FrontPanel), QStringLiteral("Органы управления")},
      {QLatin1String(JournalOp::Report), QStringLiteral("Запись в отчет")},
  };
  return texts.value(operation, operation);
}

QString OutcomeText(TJournalOutcome outcome) {
  switch (outcome) {
  case TJournalOutcome::Ok:
    return QStringLiteral("выполнено");
  case TJournalOutcome::LinkLost:
    return QStringLiteral("связь прервалась");
  case TJournalOutcome::NoRead:
    return QStringLiteral("прочитано не всё");
  case TJournalOutcome::Unknown:
    break;
  }
  return QStringLiteral("неизвестный итог");
}

QString TimeText(const QDateTime &at) {
  return at.isValid() ? at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("?");
}

} // namespace viewer
