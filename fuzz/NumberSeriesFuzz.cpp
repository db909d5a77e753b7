// libFuzzer target for the number series ("Обновить") through the real window: any text typed
// into the number-series field. A text of any length but 102 changes no value and says so; a
// series either fails with the runtime's conversion message or shows every value it stored; the
// series made from those values' record lines gives them back; and a series that the strict
// reading of stored series accepts gives the same values. Run by fuzz/run.sh.
#include "main/Application.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "table/NumberSeries.h"
#include "params/ParamTable.h"
#include "records/Report.h"
#include "records/ReportRecord.h"
#include "runtime/Dialogs.h"
#include "runtime/Exception.h"

#include <cstdlib>
#include <string>

namespace {

TForm1 *form = nullptr;
std::string lastBox;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // An empty stand-in directory: the window starts on its defaults and writes nothing.
  static char dir[] = "/tmp/kstune-fuzz-XXXXXX";
  if (!mkdtemp(dir))
    std::abort();
  setenv("XDG_CONFIG_HOME", dir, 1);
  static int argc = 1;
  static char name[] = "NumberSeriesFuzz";
  static char *argv[] = {name, nullptr};
  new TApplication(argc, argv);
  // Odd scripts in the field make the font machinery talk about every font it tries.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
  SetMessageBoxHandler([](const std::string &text, const std::string &, int) {
    lastBox = text;
    return static_cast<int>(mbOK);
  });
  form = new TForm1;
  EnablePanels(*form);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
  TParamValues before;
  for (int k = 1; k <= ParamCount; ++k)
    before[k] = static_cast<uint8_t>(k * 37);
  form->MainState.ParamValues = before;
  form->Edit20->setText(text);
  lastBox.clear();
  try {
    ApplyNumberSeries(*form);
  } catch (const EConvertError &e) {
    if (e.Message.rfind("'", 0) != 0 || e.Message.find("' is not a valid integer value") == std::string::npos)
      std::abort();
    return 0;
  }
  const TParamValues after = form->MainState.ParamValues;
  if (form->Edit20->text().size() != 102) {
    if (lastBox != "Вы ввели не все цифры" || !(after == before))
      std::abort();
    return 0;
  }
  if (!lastBox.empty() || form->Edit19->text() != QString::number(after[18]))
    std::abort();
  // A series that the strict reading of stored series accepts gives the window the same values.
  if (const auto strict = params::StrictSeriesValues(text.toLatin1().toStdString()))
    for (int k = 1; k <= ParamCount; ++k)
      if (after[k] != (*strict)[static_cast<size_t>(k - 1)])
        std::abort();
  const auto [first, second] = RecordLines(after);
  form->Edit20->setText(QString::fromStdString(first.substr(1) + second.substr(1)));
  form->MainState.ParamValues = before;
  ApplyNumberSeries(*form);
  if (!(form->MainState.ParamValues == after))
    std::abort();
  return 0;
}
