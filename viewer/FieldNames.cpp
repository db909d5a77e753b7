#include "viewer/FieldNames.h"

#include <QFile>
#include <QHash>
#include <QXmlStreamReader>

namespace viewer {

namespace {

// Widget name to its hint, from the layout's <widget name="…"><property name="toolTip">.
QHash<QString, QString> ReadHints() {
  QHash<QString, QString> hints;
  QFile layout(QStringLiteral(":/viewer/UnitMain.ui"));
  if (!layout.open(QIODevice::ReadOnly))
    return hints;
  QXmlStreamReader xml(&layout);
  QStringList widgets;
  bool inToolTip = false;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement()) {
      if (xml.name() == QLatin1String("widget"))
        widgets << xml.attributes().value(QLatin1String("name")).toString();
      else if (xml.name() == QLatin1String("property"))
        inToolTip = xml.attributes().value(QLatin1String("name")) == QLatin1String("toolTip");
      else if (xml.name() == QLatin1String("string") && inToolTip && !widgets.isEmpty())
        hints.insert(widgets.back(), xml.readElementText());
    } else if (xml.isEndElement()) {
      if (xml.name() == QLatin1String("widget") && !widgets.isEmpty())
        widgets.removeLast();
      else if (xml.name() == QLatin1String("property"))
        inToolTip = false;
    }
  }
  return hints;
}

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

QString FieldName(const params::ParamInfo &parameter) {
  static const QHash<QString, QString> hints = ReadHints();
  if (!parameter.field.empty()) {
    const QString field = Text(parameter.field);
    // Without the layout (it is built in, so only a broken build) the label is the name.
    return hints.value(field, Text(parameter.key));
  }
  if (parameter.column > 0)
    return QStringLiteral("%1, %2 МГц")
        .arg(Text(params::GridColumnHeadings[static_cast<size_t>(parameter.column - 1)]),
             Text(params::GridBands[static_cast<size_t>(parameter.row - 1)]));
  return QStringLiteral("не показывается");
}

} // namespace viewer
