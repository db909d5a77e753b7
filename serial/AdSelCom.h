#pragma once
// The port selection dialog, shown when a port is opened with no port number set: it lists
// the ports that exist (free, or held by another program) and returns the one chosen.
#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class TComSelectForm;
}

// Port numbers 1..50 whose device exists: it opens, or the OS refuses it as held by another
// program. Each is probed through a dispatcher of its own and closed again at once.
std::vector<int> ProbeComPorts();

class TComSelectForm : public QDialog {
  Q_OBJECT

public:
  // Builds the list by probing the ports; the first entry is selected.
  explicit TComSelectForm(QWidget *parent = nullptr);
  ~TComSelectForm() override;

  // The number of the selected entry ("COM12" gives 12), 0 when the list is empty.
  int SelectedPort() const;

  // Shows the dialog modally and frees it: the number chosen with OK, or 0 when it was
  // cancelled or closed, or when OK was pressed on an empty list.
  static int ChoosePort();

protected:
  void showEvent(QShowEvent *event) override;

private:
  std::unique_ptr<Ui::TComSelectForm> ui_;
};
