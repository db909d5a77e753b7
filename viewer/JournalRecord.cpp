#include "viewer/JournalRecord.h"

#include <QHash>

namespace viewer {

QString OperationText(const QString &operation) {
  static const QHash<QString, QString> texts{
      {QStringLiteral("connect"), QStringLiteral("Подключиться")},
      {QStringLiteral("disconnect"), QStringLiteral("Отключиться")},
      {QStringLiteral("set_value"), QStringLiteral("Значение")},
      {QStringLiteral("write_all"), QStringLiteral("Запись")},
      {QStringLiteral("overwrite_column"), QStringLiteral("Переписать ряд")},
      {QStringLiteral("read_all"), QStringLiteral("Чтение")},
      {QStringLiteral("model"), QStringLiteral("Модель")},
      {QStringLiteral("serial"), QStringLiteral("Серийный номер")},
      {QStringLiteral("processor_date"), QStringLiteral("Дата процессора")},
      {QStringLiteral("dac"), QStringLiteral("ЦАП")},
      {QStringLiteral("refl_forw"), QStringLiteral("REFL-FORV")},
      {QStringLiteral("front_panel"), QStringLiteral("Органы управления")},
      {QStringLiteral("report"), QStringLiteral("Запись в отчет")},
  };
  // An operation of a newer kstune is shown under its own name rather than hidden.
  return texts.value(operation, operation);
}

QString OutcomeText(const QString &outcome) {
  if (outcome == QLatin1String("ok"))
    return QStringLiteral("выполнено");
  if (outcome == QLatin1String("link_lost"))
    return QStringLiteral("связь прервалась");
  if (outcome == QLatin1String("no_read"))
    return QStringLiteral("прочитано не всё");
  return outcome;
}

QString TimeText(const QDateTime &at) {
  return at.isValid() ? at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("?");
}

} // namespace viewer
