#include "main/Application.h"
#include "main/CommandLine.h"
#include "main/UnitMain.h"
#include "serial/AdSrMgr.h"

#include <QScreen>

int main(int argc, char **argv) {
  if (const int status = HandleCommandLine(argc, argv); status >= 0)
    return status;
  TApplication app(argc, argv);
  TApplication::setApplicationName(QStringLiteral("kstune"));
  InstallStandardBoxes();
  TSerialLayerScope serialLayer; // the serial layer's message tables, for the life of the program
  TForm1 form;
  const QRect screen = form.screen()->availableGeometry();
  form.move(screen.center() - form.rect().center());
  form.show();
  InstallQuitSignals(form);
  return app.exec();
}
