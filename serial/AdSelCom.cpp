#include "serial/AdSelCom.h"

#include "platform/CommDevice.h"
#include "runtime/StrToInt.h"
#include "ui_AdSelCom.h"

#include <QApplication>
#include <QScreen>

namespace {

constexpr int LastProbedPort = 50;

// A held port is listed as busy without being opened; a free one is opened and closed again
// without any of its settings changed.
bool PortExists(int number) {
  const int result = TCommDevice::Probe(ComPortName(number));
  return result == 0 || result == ErrorAccessDenied;
}

} // namespace

std::vector<int> ProbeComPorts() {
  std::vector<int> ports;
  for (int n = 1; n <= LastProbedPort; ++n)
    if (PortExists(n))
      ports.push_back(n);
  return ports;
}

// A dialog border with the system-menu icon only: no minimise, maximise or help buttons.
constexpr Qt::WindowFlags DialogFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

TComSelectForm::TComSelectForm(QWidget *parent)
    : QDialog(parent, DialogFlags), ui_(std::make_unique<Ui::TComSelectForm>()) {
  ui_->setupUi(this);
  setFixedSize(220, 131);
  QFont font("Liberation Sans");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  setFont(font);
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, Qt::black);
  setPalette(colours);
  connect(ui_->OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(ui_->AbortBtn, &QPushButton::clicked, this, &QDialog::reject);
  for (int n : ProbeComPorts())
    ui_->PortsComboBox->addItem(QString::asprintf("COM%d", n));
  if (ui_->PortsComboBox->count() > 0)
    ui_->PortsComboBox->setCurrentIndex(0);
}

TComSelectForm::~TComSelectForm() = default;

int TComSelectForm::SelectedPort() const {
  const QString text = ui_->PortsComboBox->currentText();
  if (ui_->PortsComboBox->currentIndex() < 0 || text.isEmpty())
    return 0;
  return StrToInt(text.mid(3).toStdString());
}

int TComSelectForm::ChoosePort() {
  TComSelectForm form; // owned by the application, as every top-level dialog
  if (form.exec() != QDialog::Accepted)
    return 0;
  // An empty list offers nothing to choose: OK then means no port, as Cancel does.
  return form.SelectedPort();
}

void TComSelectForm::showEvent(QShowEvent *event) {
  if (QScreen *screen = this->screen())
    move(screen->availableGeometry().center() - rect().center());
  QDialog::showEvent(event);
}
