#include "runtime/DisplayCheck.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

QtMessageHandler previous = nullptr;
// What the platform plugin said before it gave up; shown only when the window can open after all.
std::vector<std::pair<QtMsgType, std::string>> held;
QMessageLogContext emptyContext;
// Whose window it is, and what else its user can do without one.
const char *program = "";
const char *instead = "";

std::string Environment(const char *name) {
  const char *value = std::getenv(name);
  return value ? value : "";
}

void OnMessage(QtMsgType type, const QMessageLogContext &context, const QString &text) {
  const bool platform = context.category && std::string_view(context.category).starts_with("qt.qpa");
  if (type == QtFatalMsg) {
    const std::string display = Environment("DISPLAY"), wayland = Environment("WAYLAND_DISPLAY");
    if (display.empty() && wayland.empty())
      std::fprintf(stderr,
                   "%s: no display to show the window on (DISPLAY is not set); start it in a desktop session, "
                   "or %s\n",
                   program, instead);
    else
      std::fprintf(stderr, "%s: cannot open the display %s; is the desktop session still running?\n", program,
                   (display.empty() ? wayland : display).c_str());
    std::fflush(nullptr);
    std::_Exit(1);
  }
  if (platform) {
    held.emplace_back(type, text.toStdString());
    return;
  }
  if (previous)
    previous(type, context, text);
  else
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

TDisplayCheck::TDisplayCheck(const char *programName, const char *withoutWindow) {
  program = programName;
  instead = withoutWindow;
  previous = qInstallMessageHandler(OnMessage);
}

TDisplayCheck::~TDisplayCheck() {
  qInstallMessageHandler(previous);
  for (const auto &[type, text] : held)
    qt_message_output(type, emptyContext, QString::fromStdString(text));
  held.clear();
}
