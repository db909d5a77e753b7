#include "viewer/DisplayOrExit.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace viewer {

namespace {

QtMessageHandler previous = nullptr;
// What the platform plugin said on the way; shown only when the window opens after all.
std::vector<std::pair<QtMsgType, QString>> held;

std::string Environment(const char *name) {
  const char *value = std::getenv(name);
  return value ? value : "";
}

void OnMessage(QtMsgType type, const QMessageLogContext &context, const QString &text) {
  if (type == QtFatalMsg) {
    const std::string display = Environment("DISPLAY"), wayland = Environment("WAYLAND_DISPLAY");
    if (display.empty() && wayland.empty())
      std::fputs("kstune-journal: no display to show the window on (DISPLAY is not set); start it in a desktop "
                 "session, or use --export FILE to write the visits without a window\n",
                 stderr);
    else
      std::fprintf(stderr, "kstune-journal: cannot open the display %s; is the desktop session still running?\n",
                   (display.empty() ? wayland : display).c_str());
    std::fflush(nullptr);
    std::_Exit(1);
  }
  if (context.category && std::string_view(context.category).starts_with("qt.qpa")) {
    held.emplace_back(type, text);
    return;
  }
  if (previous)
    previous(type, context, text);
  else
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

DisplayOrExit::DisplayOrExit() { previous = qInstallMessageHandler(OnMessage); }

DisplayOrExit::~DisplayOrExit() {
  qInstallMessageHandler(previous);
  const QMessageLogContext context;
  for (const auto &[type, text] : held)
    qt_message_output(type, context, text);
  held.clear();
}

bool LoadQtTranslations(QCoreApplication &app) {
  auto *translator = new QTranslator(&app);
  if (!translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

} // namespace viewer
