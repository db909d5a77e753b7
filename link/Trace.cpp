#include "link/Trace.h"

#include "main/UnitMain.h"
#include "serial/AdPort.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMetaObject>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MillisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The exchange in progress: a send and what came back until the next send.
struct TExchange {
  bool open = false;
  QString operation;
  QString wallTime;
  Clock::time_point start;
  std::vector<uint8_t> sent;
  std::vector<std::pair<uint8_t, double>> received; // byte, ms after the start
};

struct TTrace {
  std::FILE *file = nullptr;
  QString operation = QStringLiteral("—");
  TExchange exchange;
  std::optional<Clock::time_point> lastSend;
  bool closePosted = false;
};

TTrace &Trace() {
  static TTrace trace;
  return trace;
}

QString Hex(uint8_t byte) { return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper(); }

bool Put(std::FILE *file, const QString &line) {
  const QByteArray bytes = line.toUtf8();
  errno = 0;
  return std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), file) == size_t(bytes.size()) &&
         std::fflush(file) == 0;
}

// Writes and flushes one line. A trace that can no longer be written (a full disk, a removed
// stick) is said once on stderr and ends; the work at the bench goes on.
void Write(TTrace &trace, const QString &line) {
  if (Put(trace.file, line))
    return;
  std::fprintf(stderr, "kstune: the trace can no longer be written: %s; the trace ends here\n",
               std::strerror(errno ? errno : EIO));
  std::fclose(trace.file);
  trace.file = nullptr;
}

// A send starts its exchange now; an answer that comes without one is timed from the last send.
void Begin(TTrace &trace, bool sending) {
  TExchange &x = trace.exchange;
  x = TExchange{};
  x.open = true;
  x.operation = trace.operation;
  x.wallTime = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
  x.start = sending || !trace.lastSend ? Clock::now() : *trace.lastSend;
}

// Writes the exchange in progress as one line; missing says the answer did not come.
void End(TTrace &trace, bool missing) {
  TExchange &x = trace.exchange;
  if (!x.open || !trace.file)
    return;
  QString line = x.wallTime + QStringLiteral(" | ") + x.operation + QStringLiteral(" | >");
  if (x.sent.empty())
    line += QStringLiteral(" —");
  for (uint8_t b : x.sent)
    line += QLatin1Char(' ') + Hex(b);
  line += QStringLiteral(" | <");
  if (x.received.empty())
    line += QStringLiteral(" —");
  for (const auto &[b, ms] : x.received)
    line += QLatin1Char(' ') + Hex(b);
  if (!x.received.empty()) {
    line += QStringLiteral(" |");
    for (const auto &[b, ms] : x.received)
      line += QLatin1Char(' ') + QString::number(ms, 'f', 1);
    line += QStringLiteral(" мс");
  }
  // Nothing came and nothing was awaited: a key of the front panel, a disconnect.
  if (x.received.empty() && !missing)
    line += QStringLiteral(" | ответ не ожидался");
  if (missing)
    line += QStringLiteral(" | нет ответа (%1 мс)").arg(MillisSince(x.start), 0, 'f', 0);
  line += QLatin1Char('\n');
  x.open = false;
  Write(trace, line);
}

// An exchange whose sender awaits nothing is written when the window gets back to its events.
void PostClose(TTrace &trace) {
  if (trace.closePosted || !qApp)
    return;
  trace.closePosted = true;
  QMetaObject::invokeMethod(
      qApp,
      [] {
        Trace().closePosted = false;
        End(Trace(), false);
      },
      Qt::QueuedConnection);
}

void OnByte(char kind, uint8_t byte) {
  TTrace &trace = Trace();
  if (!trace.file)
    return; // ended by a write that failed
  TExchange &x = trace.exchange;
  if (kind == 'T') {
    // A send after answers starts the next exchange; sends in a row without an answer between
    // them belong to one.
    if (x.open && !x.received.empty())
      End(trace, false);
    if (!x.open)
      Begin(trace, true);
    x.sent.push_back(byte);
    trace.lastSend = Clock::now();
  } else {
    if (!x.open)
      Begin(trace, false);
    x.received.emplace_back(byte, MillisSince(x.start));
  }
  PostClose(trace);
}

QString KeyName(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter)
    return QStringLiteral("Enter");
  if (key == Qt::Key_M || key == 0x042C) // M on the Latin and the Cyrillic layout
    return QStringLiteral("M");
  return QKeySequence(key).toString();
}

// The caption of the control, without its mnemonic mark; its name when it has none.
QString ControlName(QWidget *widget) {
  for (QWidget *w = widget; w; w = w->parentWidget()) {
    if (auto *button = qobject_cast<QAbstractButton *>(w); button && !button->text().isEmpty())
      return button->text().remove(QLatin1Char('&'));
    if (!w->toolTip().isEmpty())
      return w->toolTip();
  }
  return widget->objectName().isEmpty() ? QStringLiteral("—") : widget->objectName();
}

// Sees every event before the window does: the latest click, key or timer tick names the
// exchanges that follow it.
class TOperationWatcher : public QObject {
public:
  explicit TOperationWatcher(TForm1 &form) : QObject(&form), form_(form) {}

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    switch (event->type()) {
    case QEvent::Timer:
      if (watched->parent() == form_.Timer1)
        SetTraceOperation(QStringLiteral("опрос ЦАП"));
      break;
    case QEvent::KeyPress:
      SetTraceOperation(KeyName(static_cast<QKeyEvent *>(event)->key()));
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
      if (watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (event->type() != QEvent::KeyRelease || qobject_cast<QAbstractButton *>(widget))
          SetTraceOperation(ControlName(widget));
      }
      break;
    default:
      break;
    }
    return false;
  }

private:
  TForm1 &form_;
};

} // namespace

bool StartTrace(const std::string &fileName, std::string &error) {
  StopTrace();
  std::FILE *file = std::fopen(fileName.c_str(), "a");
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  if (!Put(file,
           QStringLiteral("%1 | kstune: запись обмена начата\n")
               .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))))) {
    error = std::strerror(errno ? errno : EIO);
    std::fclose(file);
    return false;
  }
  Trace().file = file;
  TApdCustomComPort::SetByteTap(OnByte);
  return true;
}

void StopTrace() {
  TTrace &trace = Trace();
  if (!trace.file)
    return;
  End(trace, false);
  TApdCustomComPort::SetByteTap({});
  std::fclose(trace.file);
  trace.file = nullptr;
  trace.operation = QStringLiteral("—");
  trace.lastSend.reset();
}

bool TraceOn() { return Trace().file != nullptr; }

void WatchOperations(TForm1 &form) {
  qApp->installEventFilter(new TOperationWatcher(form));
  // A click from code (or the keyboard's space bar) presses the button before it clicks.
  for (auto *button : form.findChildren<QAbstractButton *>())
    QObject::connect(button, &QAbstractButton::pressed, button,
                     [button] { SetTraceOperation(ControlName(button)); });
}

void SetTraceOperation(const QString &name) {
  // Something new happened in the window: what went before it is over.
  End(Trace(), false);
  Trace().operation = name;
}

void TraceExchangeEnd() { End(Trace(), false); }

void TraceAnswerMissing() {
  TTrace &trace = Trace();
  if (!trace.file)
    return;
  if (!trace.exchange.open)
    Begin(trace, false);
  End(trace, true);
}

void TraceStaleInput(unsigned count) {
  TTrace &trace = Trace();
  if (!trace.file)
    return;
  End(trace, false);
  Write(trace, QStringLiteral("%1 | %2 | отброшено из входа устаревших байтов: %3\n")
                   .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")))
                   .arg(trace.operation)
                   .arg(count));
}
