#include "viewer/Telemetry.h"

#include "params/ParamList.h"

#include <QChart>
#include <QCursor>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>

namespace viewer {

const std::array<const char *, 8> DacLabels{"P1", "TUN", "CORF", "POW", "MOD2", "MOD1", "AF1", "VC"};

std::optional<std::array<uint8_t, 8>> DacBytes(const QString &detail) {
  static const QRegularExpression separators(QStringLiteral("[^0-9A-Fa-f]+"));
  const QStringList parts = detail.split(separators, Qt::SkipEmptyParts);
  QStringList bytes;
  if (parts.size() == 1 && parts[0].size() == 16) {
    for (int i = 0; i < 16; i += 2)
      bytes << parts[0].mid(i, 2);
  } else if (parts.size() == 8) {
    bytes = parts;
  } else {
    return std::nullopt;
  }
  std::array<uint8_t, 8> values{};
  for (int i = 0; i < 8; ++i) {
    bool ok = false;
    const int b = bytes[i].toInt(&ok, 16);
    if (!ok || bytes[i].size() > 2)
      return std::nullopt;
    values[static_cast<size_t>(i)] = static_cast<uint8_t>(b);
  }
  return values;
}

std::optional<std::pair<int, int>> ReflForw(const QString &detail) {
  static const QRegularExpression pattern(QStringLiteral("REFL\\s*=\\s*(\\d+)\\s+FORW\\s*=\\s*(\\d+)"));
  const QRegularExpressionMatch match = pattern.match(detail);
  if (!match.hasMatch())
    return std::nullopt;
  return std::pair{match.captured(1).toInt(), match.captured(2).toInt()};
}

TelemetryData TelemetryOf(const std::vector<JournalRecord> &records) {
  TelemetryData data;
  for (const JournalRecord &r : records) {
    if (!r.at.isValid() || r.outcome != QLatin1String("ok"))
      continue;
    const double x = static_cast<double>(r.at.toMSecsSinceEpoch());
    if (r.operation == QLatin1String("dac")) {
      if (const auto bytes = DacBytes(r.detail))
        for (size_t i = 0; i < 8; ++i)
          data.dac[i].append({x, DacVolts((*bytes)[i])});
    } else if (r.operation == QLatin1String("refl_forw")) {
      if (const auto readings = ReflForw(r.detail)) {
        data.refl.append({x, double(readings->first)});
        data.forw.append({x, double(readings->second)});
      }
    } else if (r.operation == QLatin1String("set_value") && r.parameter && r.value) {
      const auto info = params::ParamByNumber(*r.parameter);
      QString name = info && !info->key.empty() ? QString::fromUtf8(info->key.data(), qsizetype(info->key.size())) : QString();
      QString text = QStringLiteral("№ %1 %2 = %3").arg(*r.parameter).arg(name).arg(*r.value);
      data.marks.push_back({r.at.toMSecsSinceEpoch(), *r.parameter, *r.value, text.simplified()});
    }
  }
  return data;
}

QChart *TelemetryChart(const TelemetryData &data, const QString &title) {
  auto *chart = new QChart;
  chart->setTitle(title);
  chart->legend()->setAlignment(Qt::AlignBottom);
  auto *time = new QDateTimeAxis;
  time->setFormat(QStringLiteral("HH:mm:ss"));
  time->setTitleText(QStringLiteral("Время"));
  auto *volts = new QValueAxis;
  volts->setRange(0, 5);
  volts->setTitleText(QStringLiteral("ЦАП, В"));
  auto *readings = new QValueAxis;
  readings->setRange(0, 255);
  readings->setLabelFormat(QStringLiteral("%d"));
  readings->setTitleText(QStringLiteral("REFL / FORW"));
  chart->addAxis(time, Qt::AlignBottom);
  chart->addAxis(volts, Qt::AlignLeft);
  chart->addAxis(readings, Qt::AlignRight);

  qint64 first = std::numeric_limits<qint64>::max(), last = std::numeric_limits<qint64>::min();
  auto span = [&](const QList<QPointF> &points) {
    for (const QPointF &p : points) {
      first = std::min(first, qint64(p.x()));
      last = std::max(last, qint64(p.x()));
    }
  };
  auto add = [&](QXYSeries *series, const QList<QPointF> &points, QValueAxis *axis) {
    series->replace(points);
    chart->addSeries(series);
    series->attachAxis(time);
    series->attachAxis(axis);
    span(points);
  };
  for (size_t i = 0; i < 8; ++i) {
    auto *line = new QLineSeries;
    line->setName(QString::fromLatin1(DacLabels[i]));
    line->setPointsVisible(data.dac[i].size() < 50);
    add(line, data.dac[i], volts);
  }
  auto *refl = new QLineSeries;
  refl->setName(QStringLiteral("REFL"));
  add(refl, data.refl, readings);
  auto *forw = new QLineSeries;
  forw->setName(QStringLiteral("FORW"));
  add(forw, data.forw, readings);

  auto *marks = new QScatterSeries;
  marks->setName(QStringLiteral("Установки"));
  marks->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  marks->setMarkerSize(9);
  QList<QPointF> points;
  QHash<qint64, QString> tips;
  for (const SetMark &m : data.marks) {
    points.append({double(m.msecs), 0.0});
    QString &tip = tips[m.msecs];
    tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + m.text;
  }
  add(marks, points, volts);
  QObject::connect(marks, &QScatterSeries::hovered, marks, [tips](const QPointF &point, bool state) {
    if (state)
      QToolTip::showText(QCursor::pos(), tips.value(qint64(point.x())));
    else
      QToolTip::hideText();
  });

  if (first > last) { // nothing to show: an empty hour rather than 1970
    last = QDateTime::currentMSecsSinceEpoch();
    first = last - 3600 * 1000;
  } else if (first == last) {
    first -= 30 * 1000;
    last += 30 * 1000;
  }
  time->setRange(QDateTime::fromMSecsSinceEpoch(first), QDateTime::fromMSecsSinceEpoch(last));
  return chart;
}

} // namespace viewer
