#include "main/NoticeWindow.h"

#include "runtime/Dialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <cstdio>

TNoticeWindow::TNoticeWindow(QWidget *mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::WindowDoesNotAcceptFocus), mainWindow_(mainWindow),
      text_(new QPlainTextEdit(this)) {
  setObjectName(QStringLiteral("JournalNotice"));
  setWindowTitle(QStringLiteral("kstune: журнал станций"));
  // Shown without activation and never counted as a window that keeps the program running.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_QuitOnClose, false);
  setFocusPolicy(Qt::NoFocus);
  text_->setReadOnly(true);
  text_->setFocusPolicy(Qt::NoFocus);
  auto *close = new QPushButton(QStringLiteral("Закрыть"), this);
  close->setFocusPolicy(Qt::NoFocus);
  connect(close, &QPushButton::clicked, this, &QWidget::hide);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(close, 0, Qt::AlignRight);
  resize(mainWindow ? mainWindow->frameGeometry().width() : 600, 140);
}

void TNoticeWindow::Add(const QString &text) {
  text_->appendPlainText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + text);
  if (!isVisible()) {
    PlaceBeside();
    show();
  }
}

void TNoticeWindow::PlaceBeside() {
  if (!mainWindow_)
    return;
  // Below the main window, or above it when the screen ends there: never over its controls.
  const QRect frame = mainWindow_->frameGeometry();
  const QScreen *screen = mainWindow_->screen();
  const QRect area = screen ? screen->availableGeometry() : QRect();
  int y = frame.bottom() + 1;
  if (area.isValid() && y + height() > area.bottom() && frame.top() - height() >= area.top())
    y = frame.top() - height() - 1;
  move(frame.left(), y);
}

void InstallNoticeWindow(const QString &mainWindowName) {
  SetNoticeHandler([mainWindowName](const std::string &text) {
    static QPointer<TNoticeWindow> window;
    if (!window) {
      QWidget *main = nullptr;
      for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == mainWindowName)
          main = widget;
      // With the window gone (the end of kstune) a notice would hold nothing up, and be seen by
      // nobody: the standard error stream keeps it.
      if (!main) {
        std::fprintf(stderr, "kstune: %s\n", text.c_str());
        return;
      }
      window = new TNoticeWindow(main);
    }
    window->Add(QString::fromStdString(text));
  });
}
