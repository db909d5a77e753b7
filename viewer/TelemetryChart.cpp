#include "viewer/TelemetryChart.h"

#include "viewer/ChartPoints.h"

#include "journal/JournalDetail.h"
#include "table/ParamList.h"

#include <QChart>
#include <QCursor>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>
#include <tuple>

namespace viewer {

const std::array<const char *, 8> DacLabels{"P1", "TUN", "CORF", "POW", "MOD2", "MOD1", "AF1", "VC"};

std::optional<std::array<uint8_t, 8>> DacBytes(const QString &detail) { return DacOf(JournalDetailOf(detail).Own); }

std::optional<std::pair<int, int>> ReflForw(const QString &detail) { return ReflForwOf(JournalDetailOf(detail).Own); }

TelemetryData TelemetryOf(const std::vector<TJournalRow> &records) {
  TelemetryData data;
  for (const TJournalRow &r : records) {
    if (!r.At.isValid() || r.Outcome != TJournalOutcome::Ok)
      continue;
    const double x = static_cast<double>(r.At.toMSecsSinceEpoch());
    if (JournalOp::Is(r.Operation, JournalOp::Dac)) {
      if (const auto bytes = DacBytes(r.Detail))
        for (size_t i = 0; i < 8; ++i)
          data.dac[i].append({x, DacVolts((*bytes)[i])});
    } else if (JournalOp::Is(r.Operation, JournalOp::ReflForw)) {
      if (const auto readings = ReflForw(r.Detail)) {
        data.refl.append({x, double(readings->first)});
        data.forw.append({x, double(readings->second)});
      }
    } else if (JournalOp::Is(r.Operation, JournalOp::SetValue) && r.Parameter && r.Value) {
      const auto info = params::ParamByNumber(*r.Parameter);
      QString name = info && !info->key.empty() ? QString::fromUtf8(info->key.data(), qsizetype(info->key.size())) : QString();
      QString text = QStringLiteral("№ %1 %2 = %3").arg(*r.Parameter).arg(name).arg(*r.Value);
      data.marks.push_back({r.At.toMSecsSinceEpoch(), *r.Parameter, *r.Value, text.simplified()});
    } else if (JournalOp::Is(r.Operation, JournalOp::FrontPanel)) {
      data.panel.push_back({r.At.toMSecsSinceEpoch(), 0, r.Value.value_or(-1),
                            QStringLiteral("Органы управления: %1").arg(r.Detail.section(QLatin1Char(';'), 0, 0))});
    }
  }
  return data;
}

namespace {

const char *const TipsProperty = "kstuneTips";

} // namespace

QChart *TelemetryChart(const TelemetryData &data, const QString &title) {
  auto *chart = new QChart;
  chart->legend()->setAlignment(Qt::AlignBottom);
  auto *time = new QDateTimeAxis;
  time->setFormat(QStringLiteral("HH:mm:ss"));
  time->setTitleText(QStringLiteral("Время"));
  auto *volts = new QValueAxis;
  volts->setRange(0, 5);
  volts->setTickCount(6);
  volts->setLabelFormat(QStringLiteral("%.0f"));
  volts->setTitleText(QStringLiteral("ЦАП, В"));
  auto *readings = new QValueAxis;
  readings->setRange(0, 255);
  readings->setLabelFormat(QStringLiteral("%d"));
  readings->setTickCount(6);
  readings->setTitleText(QStringLiteral("REFL / FORW"));
  chart->addAxis(time, Qt::AlignBottom);
  chart->addAxis(volts, Qt::AlignLeft);
  chart->addAxis(readings, Qt::AlignRight);
  auto add = [&](QXYSeries *series, const QString &name, QValueAxis *axis) {
    series->setName(name);
    chart->addSeries(series);
    series->attachAxis(time);
    series->attachAxis(axis);
  };
  // Ten lines need ten colours; the theme has five. The readings are dashed: another axis.
  static const QRgb colours[10] = {0x1f77b4, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x8c564b,
                                   0x17becf, 0xbcbd22, 0xe377c2, 0xd62728, 0x202020};
  for (size_t i = 0; i < DacLabels.size(); ++i) {
    auto *line = new QLineSeries;
    line->setPen(QPen(QColor(colours[i]), 2));
    add(line, QString::fromLatin1(DacLabels[i]), volts);
  }
  for (int i = 0; i < 2; ++i) {
    auto *line = new QLineSeries;
    line->setPen(QPen(QColor(colours[8 + i]), 2, Qt::DashLine));
    add(line, i == 0 ? QStringLiteral("REFL") : QStringLiteral("FORW"), readings);
  }
  // Set values as dark diamonds just above the axis (not REFL's red on 0 V), front-panel
  // commands — the biggest jumps — as orange triangles near the top.
  for (const auto &[name, shape, colour] :
       {std::tuple{QStringLiteral("Установки"), QScatterSeries::MarkerShapeRotatedRectangle, QColor(0x20, 0x20, 0x80)},
        std::tuple{QStringLiteral("Органы управления"), QScatterSeries::MarkerShapeTriangle, QColor(0xff, 0x8c, 0x00)}}) {
    auto *marks = new QScatterSeries;
    marks->setMarkerShape(shape);
    marks->setMarkerSize(12);
    marks->setColor(colour);
    marks->setBorderColor(Qt::white);
    add(marks, name, volts);
    QObject::connect(marks, &QScatterSeries::hovered, marks, [marks](const QPointF &point, bool state) {
      if (state)
        QToolTip::showText(QCursor::pos(), marks->property(TipsProperty).toHash().value(QString::number(qint64(point.x()))).toString());
      else
        QToolTip::hideText();
    });
  }
  ShowTelemetry(chart, data, title);
  return chart;
}

void ShowTelemetry(QChart *chart, const TelemetryData &data, const QString &title) {
  chart->setTitle(title);
  const QList<QAbstractSeries *> series = chart->series();
  qint64 first = std::numeric_limits<qint64>::max(), last = std::numeric_limits<qint64>::min();
  auto show = [&](int index, const QList<QPointF> &points) {
    static_cast<QXYSeries *>(series[index])->replace(points);
    for (const QPointF &p : points) {
      first = std::min(first, qint64(p.x()));
      last = std::max(last, qint64(p.x()));
    }
  };
  // A slice of time a pixel wide is the finest the chart can show.
  const int slices = std::max(400, int(chart->plotArea().width()));
  for (int i = 0; i < 8; ++i) {
    show(i, StepPoints(data.dac[static_cast<size_t>(i)], slices));
    static_cast<QXYSeries *>(series[i])->setPointsVisible(data.dac[static_cast<size_t>(i)].size() < 50);
  }
  show(8, StepPoints(data.refl, slices));
  show(9, StepPoints(data.forw, slices));
  auto showMarks = [&](int index, const std::vector<SetMark> &marks, double volts) {
    QList<QPointF> points;
    QVariantHash tips;
    for (const SetMark &m : marks) {
      points.append({double(m.msecs), volts});
      const QString key = QString::number(m.msecs);
      const QString before = tips.value(key).toString();
      tips.insert(key, before.isEmpty() ? m.text : before + QLatin1Char('\n') + m.text);
    }
    series[index]->setProperty(TipsProperty, tips);
    show(index, points);
  };
  showMarks(10, data.marks, SetMarkVolts);
  showMarks(11, data.panel, PanelMarkVolts);
  if (first > last) { // nothing to show: the last hour rather than 1970
    last = QDateTime::currentMSecsSinceEpoch();
    first = last - 3600 * 1000;
  } else if (first == last) {
    first -= 30 * 1000;
    last += 30 * 1000;
  }
  auto *time = static_cast<QDateTimeAxis *>(chart->axes(Qt::Horizontal).front());
  time->setRange(QDateTime::fromMSecsSinceEpoch(first), QDateTime::fromMSecsSinceEpoch(last));
}

} // namespace viewer
