#include "viewer/TelemetryView.h"

#include <QAbstractAxis>
#include <QChart>
#include <QDateTime>
#include <QLegendMarker>
#include <QLocale>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>
#include <QXYSeries>

#include <algorithm>
#include <cmath>

namespace viewer {

TelemetryView::TelemetryView(QWidget *parent) : QChartView(parent) {
  setRubberBand(QChartView::HorizontalRubberBand);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setToolTip(QStringLiteral("Выделите участок мышью или крутите колесо, чтобы приблизить; правой кнопкой — сдвиг; "
                            "двойной щелчок — весь сеанс; щелчок по подписи линии скрывает ее"));
}

void TelemetryView::ConnectLegend() {
  for (QLegendMarker *marker : chart()->legend()->markers()) {
    QObject::disconnect(marker, &QLegendMarker::clicked, nullptr, nullptr);
    QObject::connect(marker, &QLegendMarker::clicked, this, [marker] {
      QAbstractSeries *series = marker->series();
      series->setVisible(!series->isVisible());
      // The entry stays, greyed, so the line can be brought back.
      marker->setVisible(true);
      QFont font = marker->font();
      font.setStrikeOut(!series->isVisible());
      marker->setFont(font);
      QBrush label = marker->labelBrush();
      QColor colour = label.color();
      colour.setAlphaF(series->isVisible() ? 1.0 : 0.4);
      label.setColor(colour);
      marker->setLabelBrush(label);
    });
  }
}

QString TelemetryView::ValuesAt(double msecs) const {
  QStringList parts{QDateTime::fromMSecsSinceEpoch(qint64(msecs)).toString(QStringLiteral("HH:mm:ss"))};
  const QLocale locale;
  for (QAbstractSeries *abstract : chart()->series()) {
    auto *series = qobject_cast<QXYSeries *>(abstract);
    if (!series || !series->isVisible() || series->type() == QAbstractSeries::SeriesTypeScatter)
      continue;
    const QList<QPointF> points = series->points();
    // The last sample at or before the time: it holds until the next poll.
    auto after = std::upper_bound(points.begin(), points.end(), msecs,
                                  [](double x, const QPointF &p) { return x < p.x(); });
    if (after == points.begin())
      continue;
    const double y = std::prev(after)->y();
    // The DAC lines are on the volts axis; the readings on their own.
    bool volts = false;
    for (QAbstractAxis *axis : series->attachedAxes())
      volts = volts || (axis->orientation() == Qt::Vertical && axis->titleText().contains(QStringLiteral(", В")));
    parts << QStringLiteral("%1 %2").arg(series->name(), volts ? locale.toString(y, 'f', 2) + QStringLiteral(" В")
                                                               : QString::number(qRound(y)));
  }
  return parts.join(QStringLiteral("  "));
}

void TelemetryView::wheelEvent(QWheelEvent *event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0) {
    QChartView::wheelEvent(event);
    return;
  }
  // Around the pointer: the time under it stays where it is.
  const QRectF area = chart()->plotArea();
  const double factor = std::pow(1.25, steps);
  const double x = event->position().x();
  const double left = x - area.left(), right = area.right() - x;
  chart()->zoomIn(QRectF(x - left / factor, area.top(), (left + right) / factor, area.height()));
  event->accept();
}

void TelemetryView::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::RightButton) {
    panning_ = true;
    panFrom_ = event->position();
    event->accept();
    return;
  }
  QChartView::mousePressEvent(event);
}

void TelemetryView::mouseMoveEvent(QMouseEvent *event) {
  if (panning_) {
    const QPointF delta = event->position() - panFrom_;
    chart()->scroll(-delta.x(), 0);
    panFrom_ = event->position();
    event->accept();
    return;
  }
  if (chart()->plotArea().contains(event->position()) && !chart()->series().isEmpty())
    QToolTip::showText(event->globalPosition().toPoint(),
                       ValuesAt(chart()->mapToValue(event->position(), chart()->series().front()).x()), this);
  QChartView::mouseMoveEvent(event);
}

void TelemetryView::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() == Qt::RightButton && panning_) {
    panning_ = false;
    event->accept();
    return;
  }
  QChartView::mouseReleaseEvent(event);
}

void TelemetryView::mouseDoubleClickEvent(QMouseEvent *event) {
  chart()->zoomReset();
  event->accept();
}

void TelemetryView::keyPressEvent(QKeyEvent *event) {
  const double step = chart()->plotArea().width() / 10;
  switch (event->key()) {
  case Qt::Key_Left:
    chart()->scroll(-step, 0);
    break;
  case Qt::Key_Right:
    chart()->scroll(step, 0);
    break;
  case Qt::Key_Plus:
    chart()->zoom(1.25);
    break;
  case Qt::Key_Minus:
    chart()->zoom(0.8);
    break;
  case Qt::Key_Home:
    chart()->zoomReset();
    break;
  default:
    QChartView::keyPressEvent(event);
    return;
  }
  event->accept();
}

} // namespace viewer
