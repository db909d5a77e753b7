// Connect and disconnect from the window against the simulated station.
#include "link/CommandSet.h"
#include "link/Connection.h"
#include "link/Exchange.h"
#include "main/MessageWindow.h"
#include "runtime/Exception.h"
#include "serial/AdExcept.h"
#include "runtime/Sleep.h"
#include "serial/AdPort.h"
#include "serial/AwUser.h"
#include "tests/support/WindowFixture.h"
#include "tests/support/HeldPort.h"

#include <array>
#include <optional>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The command name the kernel gives a forked test process: the test program's own.
QString ProgramName() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  return QString::fromStdString(name);
}

const QStringList ConnectedLines = {"Связь установлена", "Не забудьте выбрать Параметр",
                                    "Диапазон всех вводимых значений: 0...255"};

void ExpectWorkingPanels(TForm1 &form, bool enabled) {
  for (QWidget *w : {static_cast<QWidget *>(form.Panel1), static_cast<QWidget *>(form.Panel3),
                     static_cast<QWidget *>(form.Panel4), static_cast<QWidget *>(form.Panel5),
                     static_cast<QWidget *>(form.GroupBox1), static_cast<QWidget *>(form.BitBtn1),
                     static_cast<QWidget *>(form.BitBtn2)})
    EXPECT_EQ(w->isEnabled(), enabled) << w->objectName().toStdString();
}

} // namespace

TEST_F(LinkTest, ConnectHandshakesAndEnablesTheWorkingPanels) {
  Click("BitBtn9Click");
  ASSERT_TRUE(boxes.Errors.empty()) << boxes.Errors.front();
  EXPECT_EQ(station.Received(), std::vector<uint8_t>{250});
  EXPECT_EQ(MessageLines(*form), ConnectedLines);
  EXPECT_TRUE(Connected());
  ExpectWorkingPanels(*form, true);
  EXPECT_EQ(form->MainState.PollMode, 3);
  EXPECT_FALSE(form->Timer1->Enabled());
  EXPECT_TRUE(form->MainState.ComPort->Open());
  EXPECT_TRUE(station.ProtocolErrors().empty());
}

TEST_F(LinkTest, LateHandshakeWithinTheBudgetIsAccepted) {
  station.SetAnswerDelay(250ms);
  Click("BitBtn9Click");
  EXPECT_TRUE(Connected());
  EXPECT_EQ(MessageLines(*form), ConnectedLines);
}

TEST_F(LinkTest, SilentStationLeavesTheWindowNotConnectedAndTheNextConnectWorks) {
  station.StopAnsweringAfter(0);
  const auto start = std::chrono::steady_clock::now();
  Click("BitBtn9Click");
  EXPECT_GE(std::chrono::steady_clock::now() - start, 350ms);
  EXPECT_EQ(MessageLines(*form), QStringList{"Нет соединения со станцией..."});
  EXPECT_FALSE(Connected());
  EXPECT_TRUE(form->BitBtn9->isEnabled());
  ExpectWorkingPanels(*form, false);
  EXPECT_TRUE(form->MainState.ComPort->Open()) << "the port stays open until the next connect";
  EXPECT_TRUE(boxes.Messages.empty());

  station.ClearFaults();
  Click("BitBtn9Click");
  EXPECT_TRUE(Connected());
  EXPECT_EQ(station.Received(), (std::vector<uint8_t>{250, 250}));
}

TEST_F(LinkTest, MissingDeviceShowsTheSerialErrorAndStaysReadyToConnect) {
  station.Stop(); // removes the link
  dir.LinkCom(2, dir.KstuneDir() / "no-such-adapter");
  Click("BitBtn9Click");
  EXPECT_EQ(boxes.Errors, std::vector<std::string>{"ie_BadId - Specified comport doesn't exist"});
  EXPECT_TRUE(form->BitBtn9->isEnabled());
  EXPECT_FALSE(form->BitBtn10->isEnabled());
  const QString link = QString::fromStdString((dir.KstuneDir() / "com2").string());
  EXPECT_EQ(MessageLines(*form),
            QStringList{"Порт COM2: нет устройства " + link + " → " +
                        QString::fromStdString((dir.KstuneDir() / "no-such-adapter").string()) +
                        ". Проверьте, что адаптер подключён и ссылка " + link + " ведёт на него."});
}

// The line that says what to do, for each way the port can fail to open; the serial layer's own
// message stays in the error box.
TEST(OpenFailure, EachRefusalGetsItsRemedy) {
  TempConfigDir dir;
  const QString link = QString::fromStdString((dir.KstuneDir() / "com1").string());
  struct Row {
    const char *what;
    std::exception_ptr error;
    std::optional<QString> line;
  };
  const Row rows[] = {
      {"missing device", std::make_exception_ptr(EBadId(-ecBadId)),
       "Порт COM1: нет устройства /dev/ttyUSB0. Проверьте, что адаптер подключён и ссылка " + link +
           " ведёт на него."},
      {"permission", std::make_exception_ptr(EInOutError("Access denied", 12)),
       QString("Порт COM1: нет прав на /dev/ttyUSB0. Добавьте себя в группу dialout (sudo usermod -aG dialout "
               "$USER) и войдите в систему заново.")},
      // Busy names its holder instead; other failures have no remedy to give.
      {"busy", std::make_exception_ptr(EAlreadyOpen(-ecAlreadyOpen)), std::nullopt},
      {"other file error", std::make_exception_ptr(EInOutError("Too many open files", 4)), std::nullopt},
  };
  for (const auto &r : rows) {
    try {
      std::rethrow_exception(r.error);
    } catch (const std::exception &e) {
      EXPECT_EQ(OpenFailureLine(e, 1, "/dev/ttyUSB0"), r.line) << r.what;
    }
  }
}

// Held by a program that locks as we do, or opened plainly by a serial terminal: refused, the
// holder named, and its line left as it was.
TEST_F(LinkTest, PortHeldByAnotherProcessIsRefusedAsAlreadyOpen) {
  for (auto how : {THeldPort::Locked, THeldPort::Plain}) {
    SCOPED_TRACE(how == THeldPort::Locked ? "locked" : "plain");
    boxes.Errors.clear();
    THeldPort holder(station.SlavePath(), how);
    ASSERT_TRUE(holder.Holding());
    const termios before = station.ClientTermios();
    Click("BitBtn9Click");
    EXPECT_EQ(boxes.Errors, std::vector<std::string>{"ie_Open - device already open"});
    EXPECT_EQ(MessageLines(*form),
              QStringList{QString("Порт COM2 занят: %1 (процесс %2)").arg(ProgramName()).arg(holder.Pid())});
    const termios after = station.ClientTermios();
    EXPECT_TRUE(before.c_cflag == after.c_cflag && before.c_lflag == after.c_lflag &&
                before.c_iflag == after.c_iflag);
    holder.Release();
    EXPECT_FALSE(Connected());
    EXPECT_TRUE(form->BitBtn9->isEnabled());
  }
  EXPECT_TRUE(station.Received().empty());
}

// Every setting the link gives the port, as the component holds it and as the line carries it.
TEST_F(LinkTest, ConnectAppliesEveryLineSetting) {
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  const TApdComPort &port = *form->MainState.ComPort;
  EXPECT_EQ(port.InSize(), 100);
  EXPECT_EQ(port.OutSize(), 100);
  EXPECT_FALSE(port.AutoOpen());
  EXPECT_FALSE(port.LogHex());
  EXPECT_EQ(port.DataBits(), 8);
  EXPECT_EQ(port.Parity(), pNone);
  EXPECT_EQ(port.StopBits(), 1);
  EXPECT_EQ(port.Baud(), 1200);
  const TDcb &line = port.Dispatcher()->LineState();
  EXPECT_EQ(line.BaudRate, 1200u);
  EXPECT_EQ(line.ByteSize, 8);
  EXPECT_EQ(line.Parity, NoParity);
  EXPECT_EQ(line.StopBits, OneStopBit);
  EXPECT_EQ(line.Flags & (dcbOutxCtsFlow | dcbOutxDsrFlow | dcbInX | dcbOutX), 0u);
  const termios far = station.ClientTermios();
  EXPECT_EQ(cfgetospeed(&far), speed_t{B1200});
  EXPECT_EQ(far.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t{CS8});
}

// The connect, a set-value exchange and a block receive at the real line's pace.
TEST_F(LinkTest, ExchangesKeepTheirBudgetsAt1200BaudPacing) {
  station.SetPacing(true);
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  for (uint8_t byte : {Command::SetValue, Command::ZeroOperand, uint8_t{66}, uint8_t{99}})
    ASSERT_TRUE(SendAnswered(*form, byte)) << int(byte);
  EXPECT_EQ(station.Value(66), 99);
  form->MainState.ComPort->SendByte(Command::Telemetry);
  Sleep(Pause::BeforeTelemetryBlock);
  std::array<uint8_t, 8> dac{};
  ASSERT_TRUE(ReceiveBlock(*form, dac, Budget::Block));
  EXPECT_EQ(dac, station.DacValues());
  EXPECT_TRUE(boxes.Messages.empty());
}

// The adapter pulled mid-exchange: the link-lost box, no error box; plugged back in, disconnect
// and connect work without a restart.
TEST_F(LinkTest, AFarEndGoneMidExchangeIsALostLinkAndReconnectWorks) {
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  station.SetAnswerDelay(150ms);
  std::thread unplug([&] {
    std::this_thread::sleep_for(50ms);
    station.HangUp();
  });
  EXPECT_FALSE(SendAnswered(*form, Command::SetValue));
  unplug.join();
  EXPECT_EQ(boxes.Messages,
            std::vector<std::string>{"Связь со станцией прервалась. Предыдущая команда не выполнена."});
  station.Stop();
  station.Start({.ComNumber = 2});
  Click("BitBtn10Click");
  Click("BitBtn9Click");
  EXPECT_TRUE(boxes.Errors.empty()) << boxes.Errors.front();
  EXPECT_TRUE(Connected());
  EXPECT_EQ(station.Received(), std::vector<uint8_t>{250});
}

TEST_F(LinkTest, DisconnectSendsItsByteWithoutWaitingAndResetsTheWindow) {
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  form->Button1->setText("01.02.2003");
  form->BitBtn2->setText("Нет чтения");
  station.StopAnsweringAfter(0); // the station need not answer a disconnect
  Click("BitBtn10Click");
  ASSERT_TRUE(station.WaitReceived(2, 2s));
  EXPECT_EQ(station.Received(), (std::vector<uint8_t>{250, 200}));
  EXPECT_EQ(MessageLines(*form),
            (QStringList{"Связь со станцией разорвана...",
                         "Если хотите продолжить работу со станцией незабудьте Подключиться"}));
  EXPECT_EQ(form->Button1->text(), "Дата Процессора");
  EXPECT_EQ(form->BitBtn2->text(), "Чтение");
  EXPECT_FALSE(form->BitBtn2->isEnabled());
  EXPECT_FALSE(Connected());
  EXPECT_TRUE(form->BitBtn9->isEnabled());
  ExpectWorkingPanels(*form, false);
  EXPECT_FALSE(form->MainState.ComPort->Open());
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST_F(LinkTest, ReconnectReusesThePortAndThePortChoiceWaitsForTheNextConnect) {
  TSimStation com1;
  com1.Start({.ComNumber = 1});
  Click("BitBtn9Click");
  TApdComPort *const port = form->MainState.ComPort.get();
  ASSERT_TRUE(Connected());
  // Switching while connected leaves the open port alone.
  form->RadioButton1->click();
  EXPECT_EQ(form->MainState.ComNumber, 1);
  EXPECT_EQ(port->ComNumber(), 2);
  EXPECT_TRUE(port->Open());
  Click("BitBtn10Click");
  // A changed setting must not survive: the next connect applies the line settings again.
  port->SetBaud(9600);
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  EXPECT_EQ(form->MainState.ComPort.get(), port);
  EXPECT_EQ(port->ComNumber(), 1);
  EXPECT_EQ(port->Baud(), 1200);
  EXPECT_EQ(com1.Received(), std::vector<uint8_t>{250});
  EXPECT_EQ(station.Received(), (std::vector<uint8_t>{250, 200}));
}

TEST_F(LinkTest, ClosingTheWindowWhileConnectedSendsNothingAndFreesThePort) {
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  form.reset();
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(station.Received(), std::vector<uint8_t>{250});
  // Closed, unlocked and no longer exclusive: the next program gets the port.
  const int fd = open(station.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  int exclusive = 1;
  EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  close(fd);
}
