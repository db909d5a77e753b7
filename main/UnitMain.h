#pragma once
// The main window. It owns the widgets (built from resources/UnitMain.ui, each a public member
// named as in the layout) and MainState. Its slots only call the routines of main/, params/,
// link/ and records/, which take the window as their first argument.
#include "main/MainState.h"
#include "main/Timer.h"
// moc runs beside uic, so the layout header may or may not be there yet when moc reads this
// file; what moc takes from it (the Q_MOC_INCLUDE lines of the Qt headers behind it) would then
// change the generated code, and the program, from one build to the next. moc needs none of it.
#ifndef Q_MOC_RUN
#include "ui_UnitMain.h"
#endif

#include <QPointer>
#include <QWidget>

class TForm1 : public QWidget, public Ui::UnitMain {
  Q_OBJECT
public:
  explicit TForm1(QWidget *parent = nullptr);
  ~TForm1() override;

  // StringGrid1.Cells[column, row]
  QString Cells(int column, int row) const;
  void SetCells(int column, int row, const QString &text);

  TMainState MainState;
  TTimer *Timer1;

  // Key preview: the window's key-down handler runs before the focused control's; returns true
  // when it consumed the key.
  bool FormKeyDown(int key, Qt::KeyboardModifiers shift);

public slots:
  void FormCreate();
  void FormDestroy();
  void BitBtn9Click();
  void BitBtn10Click();
  void SpeedButton1Click();
  void BitBtn23Click();
  void BitBtn24Click();
  void RadioButton1Click();
  void RadioButton2Click();
  // Telemetry and the front panel.
  void Timer1Timer();
  void CheckBox1Click();
  void BitBtn5Click();
  void BitBtn3Click();
  void BitBtn4Click();
  void BitBtn6Click();
  void BitBtn14Click();
  void BitBtn16Click();
  void BitBtn17Click();
  void BitBtn18Click();
  void BitBtn19Click();
  void BitBtn20Click();
  // Editing.
  void BitBtn7Click();
  void BitBtn8Click();
  void BitBtn11Click();
  void BitBtn15Click();
  // Transfers, model, identity.
  void BitBtn1Click();
  void BitBtn2Click();
  void BitBtn21Click();
  void BitBtn22Click();
  void BitBtn13Click();
  void Button1Click();
  void StringGrid1SelectCell(int column, int row);
  void Edit1Enter();
  void Edit2Enter();
  void Edit3Enter();
  void Edit4Enter();
  void Edit5Enter();
  void Edit6Enter();
  void Edit9Enter();
  void Edit10Enter();
  void Edit11Enter();
  void Edit12Enter();
  void Edit13Enter();
  void Edit14Enter();
  void Edit15Enter();
  void Edit16Enter();
  void Edit17Enter();
  void Edit18Enter();
  void Edit19Enter();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void ApplyDesignFonts();
  void ApplyGlyphs();
  void SetUpGrid();
  void WireEvents();

  // The last key-down that went on to its control, while it may still be handed on to a child.
  const QEvent *keyHandedOn_ = nullptr;
  QPointer<QWidget> keyTarget_;
};
