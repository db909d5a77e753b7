// The port selection dialog: the probe of COM1..COM50, its layout, and the open of a port with
// no number through it. Every COM number has a link of its own in the test's directory.
#include "tests/serial/AdPortTestSupport.h"

#include "serial/AdSelCom.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include <termios.h>

#include <gtest/gtest.h>

namespace {

struct SelectTest : ::testing::Test {
  SelectTest() {
    TestApplication<QApplication>();
    for (int n = 1; n <= 50; ++n)
      dir.LinkCom(n, dir.Root() / ("missing" + std::to_string(n)));
  }
  // COM1 free, COM2 held by another program, no other port.
  void FreeAndHeld() {
    dir.LinkCom(1, free.SlavePath());
    dir.LinkCom(2, held.SlavePath());
    holder = std::make_unique<THeldPort>(held.SlavePath());
    ASSERT_TRUE(holder->Holding());
  }
  TempConfigDir dir;
  PtyPair free, held;
  std::unique_ptr<THeldPort> holder;
};

QStringList Entries(const TComSelectForm &form) {
  QStringList entries;
  const auto *box = form.findChild<QComboBox *>("PortsComboBox");
  for (int i = 0; box && i < box->count(); ++i)
    entries << box->itemText(i);
  return entries;
}

// Answers the modal dialog once it shows: picks `entry` (unless -1) and does `answer`.
void AnswerDialog(int entry, std::function<void(TComSelectForm &)> answer) {
  auto *timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, entry, answer] {
    auto *form = qobject_cast<TComSelectForm *>(QApplication::activeModalWidget());
    if (!form || !form->isVisible())
      return;
    timer->stop();
    timer->deleteLater();
    if (entry >= 0)
      form->findChild<QComboBox *>("PortsComboBox")->setCurrentIndex(entry);
    answer(*form);
  });
  timer->start(10);
}

void Click(TComSelectForm &form, const char *button) { form.findChild<QPushButton *>(button)->click(); }

TEST_F(SelectTest, ProbeListsFreeAndHeldPortsOnly) {
  PtyPair far, terminal;
  dir.LinkCom(17, far.SlavePath());
  dir.LinkCom(33, terminal.SlavePath());
  THeldPort plainHolder(terminal.SlavePath(), THeldPort::Plain); // a serial terminal's open
  ASSERT_TRUE(plainHolder.Holding());
  dir.LinkCom(49, dir.WriteFile("plain", "not a terminal"));
  FreeAndHeld();
  // A line as another program would leave it: cooked, echoing, 9600 baud.
  termios cooked{};
  tcgetattr(far.Master(), &cooked);
  cooked.c_lflag |= ICANON | ECHO;
  cfsetspeed(&cooked, B9600);
  tcsetattr(far.Master(), TCSANOW, &cooked);
  tcgetattr(far.Master(), &cooked);
  EXPECT_EQ(ProbeComPorts(), (std::vector<int>{1, 2, 17, 33}));
  termios after{};
  tcgetattr(far.Master(), &after);
  EXPECT_TRUE(after.c_lflag == cooked.c_lflag && after.c_cflag == cooked.c_cflag)
      << "the probe changed the line";
  // The probe left every port free.
  TApdComPort port;
  port.SetComNumber(17);
  EXPECT_NO_THROW(port.OpenPort());
}

TEST_F(SelectTest, TheFirstPortIsSelectedAndTabRunsFromOkToAbortToTheList) {
  FreeAndHeld();
  TComSelectForm form;
  EXPECT_EQ(form.windowTitle(), "Select Port");
  EXPECT_EQ(Entries(form), (QStringList{"COM1", "COM2"}));
  const auto *box = form.findChild<QComboBox *>("PortsComboBox");
  EXPECT_EQ(box->currentIndex(), 0);
  auto *ok = form.findChild<QPushButton *>("OkBtn");
  auto *abort = form.findChild<QPushButton *>("AbortBtn");
  EXPECT_TRUE(ok->isDefault());
  // Tab order, round from OK: the widgets that take focus by tab, in the order met.
  std::vector<QWidget *> tabOrder;
  QWidget *w = ok;
  do {
    if (w->focusPolicy() & Qt::TabFocus)
      tabOrder.push_back(w);
    w = w->nextInFocusChain();
  } while (w != ok && tabOrder.size() < 10);
  EXPECT_EQ(tabOrder, (std::vector<QWidget *>{ok, abort, const_cast<QComboBox *>(box)}));
  EXPECT_EQ(form.SelectedPort(), 1);
}

TEST_F(SelectTest, OpenWithNoNumberAsksAndOpensTheChosenPort) {
  FreeAndHeld();
  struct Case {
    const char *name;
    int entry;
    const char *button;
    uint16_t number; // ComNumber afterwards
    int code;        // what the open raises, 0 for none
  } cases[] = {
      {"OK on COM2, held", 1, "OkBtn", 2, -ecAlreadyOpen},
      {"OK on COM1, free", -1, "OkBtn", 1, 0},
      {"Cancel", 0, "AbortBtn", 0, -ecNoPortSelected},
      {"closed by its title bar", 1, nullptr, 0, -ecNoPortSelected},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TApdComPort port;
    ASSERT_EQ(port.ComNumber(), 0);
    AnswerDialog(c.entry, [&c](TComSelectForm &form) {
      if (c.button)
        Click(form, c.button);
      else
        form.close();
    });
    const auto raised = Raised([&] { port.OpenPort(); });
    EXPECT_EQ(raised.first, c.code ? c.code : 1);
    if (c.code == -ecNoPortSelected) {
      EXPECT_EQ(raised.second, "The ComNumber property of the TApdComPort has not been set");
    }
    EXPECT_EQ(port.ComNumber(), c.number);
    EXPECT_EQ(port.Open(), c.code == 0);
  }
}

TEST_F(SelectTest, OkOnAnEmptyListIsNoPortChosen) {
  TComSelectForm probe;
  EXPECT_TRUE(Entries(probe).isEmpty());
  EXPECT_EQ(probe.SelectedPort(), 0);

  TApdComPort port;
  AnswerDialog(-1, [](TComSelectForm &form) { Click(form, "OkBtn"); });
  EXPECT_EQ(Raised([&] { port.SetOpen(true); }).first, -ecNoPortSelected);
  EXPECT_EQ(port.ComNumber(), 0);
  EXPECT_FALSE(port.Open());
}

} // namespace
