#pragma once
// The notices of the runtime's non-modal seam, shown in a small window of their own beside the
// main window: it never takes the focus or a click meant for the main window, never keeps the
// program up once the main window is closed, and goes with it.
#include <QWidget>

class QPlainTextEdit;

class TNoticeWindow : public QWidget {
public:
  explicit TNoticeWindow(QWidget *mainWindow);
  void Add(const QString &text);

private:
  void PlaceBeside();

  QWidget *mainWindow_;
  QPlainTextEdit *text_;
};

// Installs the notice window behind ShowNotice; made at the first notice, beside the window whose
// objectName is mainWindowName.
void InstallNoticeWindow(const QString &mainWindowName);
