#pragma once
// The telemetry chart as a person reads it: a rubber band or the wheel zooms the time, a drag
// with the right button (or the arrow keys) pans, a double click shows the whole session again;
// a click on a legend entry hides or shows its line; the pointer tells each shown line's value at
// its time (the value a poll gave holds until the next one).
#include <QChartView>

namespace viewer {

class TelemetryView : public QChartView {
public:
  explicit TelemetryView(QWidget *parent = nullptr);

  // Makes the legend's entries of the chart's series switch their lines; call after setChart.
  void ConnectLegend();
  // What the pointer tells at a time (ms since the epoch): "10:00:03  P1 1,00 В  FORW 120 …".
  QString ValuesAt(double msecs) const;

protected:
  void wheelEvent(QWheelEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

private:
  QPointF panFrom_;
  bool panning_ = false;
};

} // namespace viewer
