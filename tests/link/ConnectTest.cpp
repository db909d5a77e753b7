// Connect and disconnect from the window against the simulated station.
#include "main/MessageWindow.h"
#include "serial/AdPort.h"
#include "tests/link/LinkFixture.h"
#include "tests/support/HeldPort.h"


namespace {

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
  EXPECT_EQ(MessageLines(*form), QStringList{"Незабудьте Подключиться"});
}

TEST_F(LinkTest, PortHeldByAnotherProcessIsRefusedAsAlreadyOpen) {
  THeldPort holder(station.SlavePath());
  ASSERT_TRUE(holder.Holding());
  Click("BitBtn9Click");
  holder.Release();
  EXPECT_EQ(boxes.Errors, std::vector<std::string>{"ie_Open - device already open"});
  EXPECT_FALSE(Connected());
  EXPECT_TRUE(form->BitBtn9->isEnabled());
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
  EXPECT_EQ(MessageLines(*form), (QStringList{"Связь со станцией разорвана...",
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

TEST_F(LinkTest, ClosingTheWindowWhileConnectedSendsNothing) {
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  form.reset();
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(station.Received(), std::vector<uint8_t>{250});
}
