#include "viewer/ViewerOptions.h"
#include "viewer/JournalWindow.h"

#include <QApplication>

int main(int argc, char **argv) {
  viewer::JournalOptions options;
  // --help and --version answer before any display is needed.
  if (const int status = viewer::HandleCommandLine(argc, argv, options); status >= 0)
    return status;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kstune-journal"));
  QApplication::setApplicationVersion(QStringLiteral(KSTUNE_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("kstune-journal"));
  viewer::JournalWindow window;
  window.show();
  window.OpenJournal(options.database ? viewer::SourceFromArgument(QString::fromStdString(*options.database))
                                      : viewer::LocalJournal());
  return app.exec();
}
