#include "main/Application.h"
#include "main/UnitMain.h"

#include <QScreen>

int main(int argc, char **argv) {
  TApplication app(argc, argv);
  TApplication::setApplicationName(QStringLiteral("kstune"));
  InstallStandardBoxes();
  TForm1 form;
  const QRect screen = form.screen()->availableGeometry();
  form.move(screen.center() - form.rect().center());
  form.show();
  return app.exec();
}
