// "Считать" and "Дата Процессора" against the simulated station.
#include "link/Exchange.h"
#include "main/MessageWindow.h"
#include "tests/records/RecordsFixture.h"

TEST_F(RecordsTest, SerialNumberShowsSixUpperCaseHexDigits) {
  const struct {
    std::array<uint8_t, 3> bytes;
    const char *shown;
  } cases[] = {
      {{0x00, 0x00, 0x07}, "000007"}, {{0x12, 0x0A, 0xFF}, "120AFF"}, {{0xAB, 0xCD, 0xEF}, "ABCDEF"}};
  Connect();
  for (const auto &c : cases) {
    station.SetSerialNumber(c.bytes);
    station.ClearReceived();
    Click("BitBtn13Click");
    EXPECT_EQ(form->Edit8->text(), c.shown);
    EXPECT_EQ(station.Received(), (std::vector<uint8_t>{80, 0, 1, 80, 0, 2, 80, 0, 3}));
    EXPECT_TRUE(form->BitBtn13->isEnabled());
  }
  EXPECT_FALSE(form->BitBtn12->isEnabled()) << "\"Записать\" stays disabled";
  EXPECT_TRUE(boxes.Messages.empty() && boxes.Errors.empty());
}

TEST_F(RecordsTest, AFailedSerialReadKeepsTheFieldAndTheNextConnectEnablesTheButton) {
  Connect();
  form->Edit8->setText("OLD");
  station.StopAnsweringAfter(4); // 80, 0, 1 and the next 80 answered
  Click("BitBtn13Click");
  EXPECT_EQ(boxes.Messages, std::vector<std::string>{LinkLostMessage});
  EXPECT_EQ(form->Edit8->text(), "OLD");
  EXPECT_FALSE(form->BitBtn13->isEnabled());
  station.ClearFaults();
  Click("BitBtn10Click");
  Click("BitBtn9Click");
  EXPECT_TRUE(form->BitBtn13->isEnabled());
  Click("BitBtn13Click");
  EXPECT_EQ(form->Edit8->text(), "001234");
}

TEST_F(RecordsTest, ProcessorDateBecomesTheButtonCaption) {
  const struct {
    std::array<uint8_t, 4> bytes;
    const char *caption;
  } cases[] = {
      {{5, 11, 20, 7}, "Дата: 05.11.2007"},
      {{1, 2, 19, 99}, "Дата: 01.02.1999"},
      {{31, 12, 20, 0}, "Дата: 31.12.2000"},
      {{100, 9, 0, 255}, "Дата: 100.09.00255"},
  };
  Connect();
  for (const auto &c : cases) {
    station.SetProcessorDate(c.bytes);
    station.ClearReceived();
    Click("Button1Click");
    EXPECT_EQ(form->Button1->text(), c.caption);
    EXPECT_EQ(station.Received(), std::vector<uint8_t>{125});
  }
  EXPECT_TRUE(boxes.Messages.empty() && boxes.Errors.empty());
}

TEST_F(RecordsTest, ACutDateLeavesOnlyItsMessageAndTheCaption) {
  Connect();
  Click("Button1Click");
  ASSERT_EQ(form->Button1->text(), "Дата: 05.11.2007");
  station.CutBlocksTo(3);
  station.SetProcessorDate({1, 2, 3, 4});
  Click("Button1Click");
  EXPECT_EQ(MessageLines(*form), QStringList{"Нет соединения с радиостанцией..."});
  EXPECT_EQ(form->Button1->text(), "Дата: 05.11.2007");
  EXPECT_TRUE(boxes.Messages.empty() && boxes.Errors.empty());
}
