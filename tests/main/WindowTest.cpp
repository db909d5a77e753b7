// The window as the technician first meets it, and the toolkit behaviour the routines rely on.
#include "link/Telemetry.h"
#include "main/MessageWindow.h"
#include "main/Panels.h"
#include "runtime/QtTranslations.h"
#include "main/UnitMain.h"
#include "runtime/Exception.h"
#include "tests/support/QtApp.h"
#include "tests/support/TempConfigDir.h"

#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <QTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class WindowTest : public ::testing::Test, protected WithTestApp {
protected:
  TempConfigDir dir;
  BoxRecorder boxes;
  TForm1 form;

  QWidget *W(const char *name) {
    auto *w = form.findChild<QWidget *>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
};

} // namespace

TEST_F(WindowTest, ControlsStandWhereTheLayoutPutsThem) {
  struct Row {
    const char *name;
    int x, y, w, h;
    const char *text;
  };
  const Row rows[] = {
      {"Panel1", 0, 0, 193, 219, nullptr},          {"Panel5", 0, 220, 193, 142, nullptr},
      {"Panel3", 197, 0, 124, 161, nullptr},        {"Panel4", 197, 168, 121, 194, nullptr},
      {"StringGrid1", 340, 0, 219, 158, nullptr},   {"GroupBox2", 577, -2, 127, 160, nullptr},
      {"GroupBox1", 322, 158, 383, 129, nullptr},   {"Panel2", 322, 288, 383, 73, nullptr},
      {"Edit19", 43, 32, 35, 21, nullptr},          {"Edit16", 90, 167, 35, 21, nullptr},
      {"BitBtn9", 14, 37, 100, 25, "Подключиться"}, {"BitBtn10", 14, 61, 100, 25, "Отключиться"},
      {"BitBtn20", 219, 95, 100, 25, "Маскиратор"}, {"CheckBox1", 328, 20, 49, 17, "ЦАП"},
      {"Button1", 5, 158, 112, 25, "Дата Процессора"}, {"BitBtn24", 100, 106, 87, 25, "Запись"},
      {"SpeedButton1", 165, 80, 23, 22, "..."},      {"Memo1", 4, 4, 376, 64, nullptr},
      {"Label20", 7, 64, 174, 13, "Восстановлениe параметров"},
  };
  for (const auto &r : rows) {
    QWidget *w = W(r.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), QRect(r.x, r.y, r.w, r.h)) << r.name;
    if (r.text) {
      EXPECT_EQ(w->property("text").toString(), QString::fromUtf8(r.text)) << r.name;
    }
  }
  EXPECT_EQ(form.size(), QSize(706, 362));
  EXPECT_EQ(form.GroupBox2->title(), " Работа с портом ");
  EXPECT_EQ(form.GroupBox1->title(), " Органы управления ");
  EXPECT_EQ(form.BitBtn8->toolTip(), "Уменьшение заданного параметра ");
  EXPECT_EQ(form.BitBtn21->toolTip(),
            "Восстановление значений, которые были занесены в станцию последним нажатием кнопки \"ЗАПИСЬ\"");
  EXPECT_EQ(form.RadioButton1->toolTip(), "Порт СОМ1, верхний разъем на компьютере");
  const QStringList items = {"KS - 41", "KS - 43  11150кГц", "KS - 43  10250кГц", "KS - 45", "KS - 47", ""};
  ASSERT_EQ(form.ComboBox1->count(), 6);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(form.ComboBox1->itemText(i), items[i]);
  EXPECT_EQ(form.ComboBox1->currentText(), "Выбор станции");
  EXPECT_EQ(form.Memo1->palette().color(QPalette::Base), QColor(0x80, 0x00, 0x80));
  EXPECT_EQ(form.Memo1->palette().color(QPalette::Text), QColor(0x00, 0xFF, 0xFF));
  EXPECT_EQ(form.BitBtn9->palette().color(QPalette::ButtonText), QColor(0x00, 0xFF, 0x00));
  EXPECT_EQ(form.Edit1->font().pixelSize(), 11);
  EXPECT_TRUE(form.Edit1->font().bold());
  EXPECT_FALSE(form.Button1->font().bold());
  EXPECT_EQ(form.StringGrid1->font().pixelSize(), 13);
}

TEST_F(WindowTest, EveryControlIsInTheLayoutsFontAtItsPixelHeight) {
  // The window's own font is plain; each control keeps it or sets only its weight.
  EXPECT_FALSE(form.font().bold());
  const auto controls = form.findChildren<QWidget *>();
  ASSERT_GE(controls.size(), 86);
  for (const QWidget *w : controls) {
    if (w->window() != &form)
      continue;
    const bool inGrid = w == form.StringGrid1 || form.StringGrid1->isAncestorOf(w);
    EXPECT_EQ(w->font().family(), "Liberation Sans") << qPrintable(w->objectName());
    EXPECT_EQ(w->font().pixelSize(), inGrid ? 13 : 11) << qPrintable(w->objectName());
  }
}

TEST_F(WindowTest, OnlyThePortGroupTheGridAndTheMessagesRespondBeforeConnecting) {
  for (const char *name : {"Panel1", "Panel3", "Panel4", "Panel5", "GroupBox1", "BitBtn1", "BitBtn2", "BitBtn10"})
    EXPECT_FALSE(W(name)->isEnabled()) << name;
  for (const char *name : {"GroupBox2", "RadioButton1", "RadioButton2", "BitBtn9", "StringGrid1", "Panel2", "Memo1"})
    EXPECT_TRUE(W(name)->isEnabled()) << name;
  for (const char *name : {"BitBtn1", "BitBtn2", "BitBtn11", "BitBtn12", "BitBtn13", "BitBtn21", "BitBtn22",
                           "BitBtn23", "BitBtn24"}) {
    auto *button = static_cast<QPushButton *>(W(name));
    EXPECT_FALSE(button->icon().isNull()) << name;
    // The greyed state is a picture of its own, not Qt's automatic one.
    EXPECT_NE(button->icon().pixmap(16, QIcon::Disabled).toImage(), button->icon().pixmap(16, QIcon::Normal).toImage())
        << name;
  }
  EXPECT_TRUE(form.BitBtn9->icon().isNull());
  EnablePanels(form);
  for (const char *name : {"Panel1", "Panel3", "Panel4", "Panel5", "GroupBox1", "BitBtn1", "BitBtn2"})
    EXPECT_TRUE(W(name)->isEnabled()) << name;
  // Inside the panels the layout's own disabled buttons stay disabled.
  EXPECT_FALSE(form.BitBtn12->isEnabled());
  EXPECT_FALSE(form.BitBtn24->isEnabled());
  DisablePanels(form);
  EXPECT_FALSE(form.Panel1->isEnabled());
}

TEST_F(WindowTest, TabbingThroughTheFieldsFollowsTheLayoutOrder) {
  EnablePanels(form);
  form.show();
  QApplication::setActiveWindow(&form);
  form.Edit1->setFocus();
  const QStringList expected = {"Edit1",  "Edit2",  "Edit3",  "Edit4",  "Edit5",  "Edit6",
                                "Edit9",  "Edit10", "Edit11", "Edit12", "Edit13", "Edit14",
                                "Edit15", "Edit16", "Edit17", "Edit18", "Edit19"};
  QStringList visited;
  QWidget *w = form.Edit1;
  for (int i = 0; i < expected.size(); ++i) {
    visited << w->objectName();
    w = w->nextInFocusChain();
  }
  EXPECT_EQ(visited, expected);
}

TEST_F(WindowTest, DisablingTheFocusedControlDoesNotEnterAField) {
  EnablePanels(form);
  form.show();
  QApplication::setActiveWindow(&form);
  form.BitBtn2->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), form.BitBtn2);
  SetControlEnabled(form, form.BitBtn2, false);
  QWidget *now = QApplication::focusWidget();
  EXPECT_FALSE(qobject_cast<QLineEdit *>(now));
  EXPECT_NE(now, form.StringGrid1);
  // The same with a whole panel holding the focus.
  form.BitBtn13->setFocus();
  SetControlEnabled(form, form.Panel4, false);
  now = QApplication::focusWidget();
  EXPECT_FALSE(qobject_cast<QLineEdit *>(now));
  EXPECT_NE(now, form.StringGrid1);
}

TEST_F(WindowTest, AnExceptionInAnEventActionIsShownAndTheProgramGoesOn) {
  // A control of the window whose action fails the way a routine's conversion does.
  auto *button = new QPushButton(QStringLiteral("x"), &form);
  QObject::connect(button, &QPushButton::clicked, [] { throw EConvertError("'x' is not a valid integer value"); });
  // As when connected: before that the key preview refuses every key.
  form.BitBtn9->setEnabled(false);
  form.show();
  // A key press and a timer, both delivered through the application's event dispatch.
  const auto pressSpace = [&] {
    button->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(button, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(button, &release);
  };
  pressSpace();
  ASSERT_EQ(boxes.Errors, std::vector<std::string>{"'x' is not a valid integer value"});
  QTimer::singleShot(0, [] { throw Exception("from a timer"); });
  QTest::qWait(50);
  ASSERT_EQ(boxes.Errors.size(), 2u);
  EXPECT_EQ(boxes.Errors[1], "from a timer");
  pressSpace();
  EXPECT_EQ(boxes.Errors.size(), 3u);
}

TEST_F(WindowTest, TimerKeepsItsCountdownUnlessTheIntervalChanges) {
  TTimer timer;
  QSignalSpy ticks(&timer, &TTimer::OnTimer);
  timer.SetInterval(300);
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Enabled());
  QElapsedTimer clock;
  clock.start();
  QTest::qWait(150);
  // Enabling again and setting the same interval must not restart the countdown.
  timer.SetEnabled(true);
  timer.SetInterval(300);
  ASSERT_TRUE(ticks.wait(2000));
  const qint64 firstTick = clock.elapsed();
  EXPECT_LT(firstTick, 440) << "countdown was restarted";
  // A new interval restarts it from now.
  ticks.clear();
  QTest::qWait(100);
  clock.restart();
  timer.SetInterval(400);
  ASSERT_TRUE(ticks.wait(2000));
  EXPECT_GE(clock.elapsed(), 380);
  // Disabling stops it.
  timer.SetEnabled(false);
  ticks.clear();
  QTest::qWait(500);
  EXPECT_EQ(ticks.count(), 0);
  EXPECT_FALSE(timer.Running());
}

// An armed refresh counts 800 ms to its first tick, then 700 ms to the poll, and stops there
// ready for the next arming.
TEST_F(WindowTest, AnArmedRefreshRunsItsTimerAt800ThenAt700) {
  ArmRefresh(form);
  EXPECT_EQ(form.MainState.PollMode, 2);
  EXPECT_TRUE(form.Timer1->Enabled());
  EXPECT_EQ(form.Timer1->Interval(), 800);
  form.Timer1Timer();
  EXPECT_EQ(form.MainState.PollMode, 3);
  EXPECT_TRUE(form.Timer1->Enabled());
  EXPECT_EQ(form.Timer1->Interval(), 700);
  form.Timer1Timer();
  EXPECT_FALSE(form.Timer1->Enabled());
  EXPECT_EQ(form.Timer1->Interval(), 800);
}

// The remote controls and the step panel are disabled for exactly the length of the poll: the
// poll clears the message window, so what the window shows at each switch tells when it came.
TEST_F(WindowTest, TheRemoteControlsAndTheStepPanelAreDisabledWhileThePollRuns) {
  EnablePanels(form);
  struct Switch {
    QString control;
    bool enabled;
    QStringList messages;
  };
  std::vector<Switch> switches;
  class TWatch : public QObject {
  public:
    TWatch(TForm1 &form, std::vector<Switch> &switches) : form_(form), switches_(switches) {}
    bool eventFilter(QObject *watched, QEvent *event) override {
      if (event->type() == QEvent::EnabledChange) {
        auto *w = static_cast<QWidget *>(watched);
        switches_.push_back({w->objectName(), w->isEnabled(), MessageLines(form_)});
      }
      return false;
    }
    TForm1 &form_;
    std::vector<Switch> &switches_;
  } watch(form, switches);
  form.GroupBox1->installEventFilter(&watch);
  form.Panel3->installEventFilter(&watch);
  form.MainState.PollMode = 3;
  ClearMessages(form);
  AddMessage(form, QStringLiteral("before the poll"));
  form.Timer1Timer();
  form.GroupBox1->removeEventFilter(&watch);
  form.Panel3->removeEventFilter(&watch);
  ASSERT_EQ(switches.size(), 4u);
  const QStringList before{QStringLiteral("before the poll")};
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(switches[i].enabled) << i;
    EXPECT_EQ(switches[i].messages, before) << switches[i].control.toStdString() << " disabled after the poll began";
    EXPECT_TRUE(switches[2 + i].enabled) << i;
    EXPECT_TRUE(switches[2 + i].messages.isEmpty()) << switches[2 + i].control.toStdString() << " enabled before the poll ended";
  }
  EXPECT_TRUE(form.GroupBox1->isEnabled() && form.Panel3->isEnabled());
}

// Qt's own texts follow the user's language; the window's own stay as they are.
TEST_F(WindowTest, QtsStandardButtonsSpeakTheUsersLanguage) {
  struct Row {
    QLocale locale;
    bool found;
    const char *cancel;
  };
  const Row rows[] = {
      {QLocale(QLocale::Russian, QLocale::Russia), true, "Отмена"},
      {QLocale(QLocale::English, QLocale::UnitedStates), false, "Cancel"},
  };
  for (const auto &r : rows) {
    QLocale::setDefault(r.locale);
    EXPECT_EQ(InstallQtTranslations(*qApp), r.found) << r.cancel;
    QMessageBox box;
    EXPECT_EQ(box.addButton(QMessageBox::Cancel)->text().remove(QLatin1Char('&')), QString::fromUtf8(r.cancel));
    // The report's file dialog: its "Look in:" is Qt's own text too.
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const auto *lookIn = dialog.findChild<QLabel *>(QStringLiteral("lookInLabel"));
    ASSERT_NE(lookIn, nullptr);
    EXPECT_EQ(lookIn->text() == QStringLiteral("Look in:"), !r.found) << lookIn->text().toStdString();
    EXPECT_EQ(form.BitBtn9->text(), QStringLiteral("Подключиться"));
    qDeleteAll(qApp->findChildren<QTranslator *>());
  }
  QLocale::setDefault(QLocale::system());
}
