#include "runtime/DisplayCheck.h"
#include "runtime/ProgramOptions.h"
#include "runtime/QtTranslations.h"
#include "viewer/ExportCommand.h"
#include "viewer/JournalWindow.h"
#include "viewer/ViewerOptions.h"

#include <QApplication>

#include <optional>

int main(int argc, char **argv) {
  viewer::JournalOptions options;
  // --help, --version and --export answer before any display is needed.
  if (const int status = viewer::HandleCommandLine(ProgramArguments(argc, argv), options); status >= 0)
    return status;
  const viewer::JournalSource source =
      options.database ? viewer::SourceFromArgument(*options.database) : viewer::LocalJournal();
  if (options.exportTo) {
    QCoreApplication app(argc, argv);
    InstallQtTranslations(app);
    return viewer::RunExport(*options.exportTo, source);
  }
  std::optional<TDisplayCheck> displayCheck(std::in_place, "kstune-journal",
                                            "use --export FILE to write the visits without a window");
  QApplication app(argc, argv);
  displayCheck.reset();
  QApplication::setApplicationName(QStringLiteral("kstune-journal"));
  QApplication::setApplicationVersion(QString::fromLatin1(ProgramVersion()));
  QApplication::setDesktopFileName(QStringLiteral("kstune-journal"));
  InstallQtTranslations(app);
  viewer::JournalWindow window;
  window.show();
  window.OpenJournal(source);
  return app.exec();
}
