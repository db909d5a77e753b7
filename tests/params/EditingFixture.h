#pragma once
// The window connected to the simulated station, shown and active, so that focus and keys travel
// the way they do for the technician.
#include "tests/support/WindowFixture.h"

#include <QApplication>
#include <QTest>

class EditingTest : public LinkTest {
protected:
  void SetUp() override {
    LinkTest::SetUp();
    ShowAndConnect();
  }

  // A fresh window and station: a test that left an exchange half done starts again clean.
  void Restart() {
    form.reset();
    station.Stop();
    station.ClearFaults();
    station.Start({.ComNumber = 2});
    form = std::make_unique<TForm1>();
    ShowAndConnect();
  }

  QLineEdit *Field(const char *name) { return form->findChild<QLineEdit *>(name); }
  void Focus(QWidget *w) { w->setFocus(Qt::MouseFocusReason); }
  void ChooseCell(int column, int row) {
    Focus(form->StringGrid1);
    form->StringGrid1->setCurrentCell(row, column);
  }
  // Key-downs go to whatever has the focus, as the keyboard's do.
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers), release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(QApplication::focusWidget(), &press);
    QApplication::sendEvent(QApplication::focusWidget(), &release);
  }
  void Type(const QString &text) {
    for (const QChar c : text)
      QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
  }
  void Step(const char *radio, bool up) {
    form->findChild<QRadioButton *>(radio)->setChecked(true);
    Click(up ? "BitBtn7Click" : "BitBtn8Click");
  }
  static std::vector<uint8_t> SetValue(uint8_t address, uint8_t value) { return {55, 0, address, value}; }
};
