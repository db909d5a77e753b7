// Choosing, stepping, overwriting and the keys, on the real window against the simulated station.
#include "link/Exchange.h"
#include "main/MessageWindow.h"
#include "params/ModelPresets.h"
#include "params/ParamTable.h"
#include "platform/IniFile.h"
#include "tests/params/EditingFixture.h"

namespace {

const QColor Aqua(0x00, 0xFF, 0xFF), Purple(0x80, 0x00, 0x80), Navy(0x00, 0x00, 0x80);
const char *const NotChosen = "Вы не выбрали параметр который хотите менять";

} // namespace

TEST_F(EditingTest, StepWrapsAndSendsTheChosenValueAtOnce) {
  struct Row {
    const char *field; // nullptr: grid cell (2, 3), parameter 9
    const char *start;
    const char *radio;
    bool up;
    uint8_t address, sent;
  };
  const Row rows[] = {
      {"Edit1", "250", "RadioButton6", true, 67, 4},   {"Edit1", "10", "RadioButton8", false, 67, 216},
      {"Edit19", "255", "RadioButton3", true, 66, 0},  {"Edit18", "3", "RadioButton5", false, 85, 254},
      {nullptr, "100", "RadioButton7", true, 35, 120}, {"Edit6", "0", "RadioButton4", false, 75, 254},
  };
  for (const auto &r : rows) {
    station.ClearReceived();
    r.field ? Field(r.field)->setText(r.start) : form->SetCells(2, 3, r.start);
    CollectValues(*form);
    r.field ? Focus(Field(r.field)) : ChooseCell(2, 3);
    const auto start = std::chrono::steady_clock::now();
    Step(r.radio, r.up);
    // The step waits 200 ms after its exchange before it arms the refresh.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms) << r.start;
    EXPECT_EQ(station.Received(), SetValue(r.address, r.sent)) << r.start;
    EXPECT_EQ(station.Value(r.address), r.sent);
    EXPECT_EQ(r.field ? Field(r.field)->text() : form->Cells(2, 3), QString::number(r.sent));
    EXPECT_EQ(form->MainState.PollMode, 2);
    EXPECT_TRUE(form->Timer1->Enabled());
    EXPECT_TRUE(MessageLines(*form).isEmpty());
    form->Timer1->SetEnabled(false);
  }
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST_F(EditingTest, ALeaderStepMovesItsFollowerInTheWindowOnly) {
  Field("Edit15")->setText("121");
  Field("Edit13")->setText("87");
  CollectValues(*form);
  const uint8_t pow25 = station.Value(80);
  Focus(Field("Edit15"));
  Step("RadioButton6", true);
  EXPECT_EQ(station.Received(), SetValue(82, 131));
  EXPECT_EQ(Field("Edit13")->text(), "97");
  EXPECT_EQ(form->MainState.ParamValues[29], 97);
  EXPECT_EQ(station.Value(80), pow25) << "POW_25 is not sent";
}

TEST_F(EditingTest, AFieldTakesTheChoiceAndTheMarkFromTheGrid) {
  ChooseCell(2, 3);
  EXPECT_EQ(form->MainState.SelectedParam, 9);
  EXPECT_EQ(form->MainState.SelectedColumn, 2);
  EXPECT_EQ(form->MainState.SelectedRow, 3);
  Focus(Field("Edit1"));
  EXPECT_EQ(form->MainState.SelectedParam, 19);
  EXPECT_EQ(form->MainState.SelectedColumn, 0);
  EXPECT_FALSE(form->StringGrid1->currentIndex().isValid());
  EXPECT_TRUE(form->StringGrid1->selectedItems().isEmpty());
  EXPECT_EQ(Field("Edit1")->palette().color(QPalette::Text), Aqua);
  EXPECT_EQ(Field("Edit1")->palette().color(QPalette::Base), Purple);
  // The typed-value field keeps the choice; the previous field is navy again.
  Focus(Field("Edit7"));
  Focus(Field("Edit2"));
  EXPECT_EQ(form->MainState.SelectedParam, 20);
  EXPECT_EQ(Field("Edit1")->palette().color(QPalette::Text), Navy);
  form->Edit7->setText("9");
  Click("BitBtn15Click");
  EXPECT_TRUE(station.Received().empty()) << "no column chosen: nothing to overwrite";
  EXPECT_TRUE(form->BitBtn15->isEnabled());
  EXPECT_EQ(form->Cells(1, 1), "0");
}

TEST_F(EditingTest, OverwriteRefusesWithBoxesAndStoresTheLowByte) {
  struct Row {
    const char *chosen; // field to enter first, nullptr for none
    const char *typed;
    const char *box, *error; // expected refusal, or nullptr
    int sent;                // value sent, -1 for nothing
  };
  const Row rows[] = {
      {nullptr, "5", "Вы не выбрали ячеку, данные которой надо заменить", nullptr, -1},
      {"Edit3", "", "Вы не ввели данные", nullptr, -1},
      {"Edit3", " ", "Вы не ввели данные", nullptr, -1},
      {"Edit3", "  ", nullptr, "'  ' is not a valid integer value", -1},
      {"Edit3", "12a", nullptr, "'12a' is not a valid integer value", -1},
      {"Edit3", "77", nullptr, nullptr, 77},
      {"Edit3", "300", nullptr, nullptr, 44},
      {"Edit3", "$FF", nullptr, nullptr, 255},
  };
  ClearMessages(*form);
  AddMessage(*form, "kept");
  for (const auto &r : rows) {
    station.ClearReceived();
    boxes.Messages.clear();
    boxes.Errors.clear();
    if (r.chosen)
      Focus(Field(r.chosen));
    form->Edit7->setText(r.typed);
    Click("BitBtn11Click");
    EXPECT_EQ(boxes.Messages, r.box ? std::vector<std::string>{r.box} : std::vector<std::string>{})
        << r.typed;
    EXPECT_EQ(boxes.Errors, r.error ? std::vector<std::string>{r.error} : std::vector<std::string>{})
        << r.typed;
    EXPECT_EQ(station.Received(), r.sent < 0 ? std::vector<uint8_t>{} : SetValue(69, uint8_t(r.sent)))
        << r.typed;
    if (r.sent >= 0) {
      EXPECT_EQ(Field("Edit3")->text(), QString::number(r.sent));
      EXPECT_EQ(form->MainState.PollMode, 2);
      form->Timer1->SetEnabled(false);
    }
  }
  EXPECT_EQ(MessageLines(*form), QStringList{"kept"});
}

TEST_F(EditingTest, KeysBeforeConnectingOnlyGetTheRefusal) {
  Click("BitBtn10Click");
  station.ClearReceived();
  Focus(form->StringGrid1);
  const int row = form->StringGrid1->currentRow(), column = form->StringGrid1->currentColumn();
  const auto selected = form->MainState.SelectedParam;
  for (int key : {int(Qt::Key_Return), int(Qt::Key_A), int(Qt::Key_M), int(Qt::Key_5), int(Qt::Key_Up),
                  int(Qt::Key_Down), int(Qt::Key_Left), int(Qt::Key_Right)}) {
    ClearMessages(*form);
    Key(key);
    EXPECT_EQ(MessageLines(*form), QStringList{"Вы не подключились к радиостанции!!!"}) << key;
    // An arrow moves nothing either: no other cell, so no other parameter chosen.
    EXPECT_EQ(form->StringGrid1->currentRow(), row) << key;
    EXPECT_EQ(form->StringGrid1->currentColumn(), column) << key;
    EXPECT_EQ(form->MainState.SelectedParam, selected) << key;
  }
  EXPECT_EQ(QApplication::focusWidget(), form->StringGrid1) << "no editor opened";
  EXPECT_EQ(form->Cells(1, 1), "0");
  QTest::qWait(50);
  EXPECT_TRUE(station.Received().empty());
}

TEST_F(EditingTest, KeyMSendsOneScramblerByteWhateverIsFocusedOrHeld) {
  const std::pair<int, Qt::KeyboardModifiers> presses[] = {
      {Qt::Key_M, Qt::NoModifier},
      {Qt::Key_M, Qt::ShiftModifier},
      {Qt::Key_M, Qt::ControlModifier},
      {0x042C, Qt::NoModifier}, // the same key on a Russian layout
  };
  Focus(Field("Edit4"));
  Field("Edit4")->setText("188");
  form->MainState.PollMode = 3;
  for (const auto &[key, modifiers] : presses) {
    station.ClearReceived();
    const auto start = std::chrono::steady_clock::now();
    Key(key, modifiers);
    // The key waits 100 ms after its byte before the window takes the next event.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms) << key;
    ASSERT_TRUE(station.WaitReceived(1, 2s)) << key;
    QTest::qWait(20);
    EXPECT_EQ(station.Received(), std::vector<uint8_t>{180}) << key;
  }
  EXPECT_EQ(Field("Edit4")->text(), "188");
  EXPECT_EQ(form->MainState.PollMode, 3);
  EXPECT_FALSE(form->Timer1->Enabled());
}

TEST_F(EditingTest, EnterSendsWhatIsTypedOnce) {
  Focus(form->Edit7);
  Key(Qt::Key_Return);
  EXPECT_EQ(MessageLines(*form), QStringList{NotChosen});
  // Typed into a grid cell, still in its editor.
  ChooseCell(1, 4);
  Type("120");
  EXPECT_NE(QApplication::focusWidget(), form->StringGrid1) << "the cell's editor is open";
  Key(Qt::Key_Return);
  EXPECT_EQ(station.Received(), SetValue(30, 120));
  EXPECT_EQ(form->Cells(1, 4), "120");
  // A field, with its follower moved only after the exchange.
  station.ClearReceived();
  Focus(Field("Edit9"));
  Field("Edit9")->setText("30");
  Key(Qt::Key_Enter);
  EXPECT_EQ(station.Received(), SetValue(76, 30));
  EXPECT_EQ(Field("Edit11")->text(), "49");
  EXPECT_EQ(form->MainState.PollMode, 3) << "no refresh after Enter";
  EXPECT_TRUE(MessageLines(*form).isEmpty());
}

TEST_F(EditingTest, AStepAfterNewPresetsStartsFromTheCollectedValue) {
  dir.WriteFile("Q417Options.ini", "[All]\r\nPoz=KS45\r\n[KS45]\r\nCORF=200\r\n");
  form->MainState.OptionsFile = std::make_unique<TIniFile>((dir.KstuneDir() / "Q417Options.ini").string());
  form->MainState.ModelCode = "KS45";
  ApplyModelPresets(*form);
  ASSERT_EQ(Field("Edit1")->text(), "200");
  Focus(Field("Edit1"));
  Step("RadioButton3", true);
  EXPECT_EQ(station.Received(), SetValue(67, 1));
  EXPECT_EQ(Field("Edit1")->text(), "1");
  EXPECT_EQ(Field("Edit2")->text(), "0") << "every field shows the table again";
}

TEST_F(EditingTest, AMissingAnswerStopsAtItsByte) {
  struct Row {
    const char *slot;  // nullptr: the Enter key
    size_t answered;   // answers the station gives before falling silent
    bool refreshArmed; // after the one link-lost box
    const char *pow10; // POW_5's follower: moved before the exchange, or by Enter only after it
  };
  const Row rows[] = {
      {"BitBtn7Click", 0, false, "20"},  {"BitBtn7Click", 2, false, "20"},  {"BitBtn7Click", 3, true, "20"},
      {"BitBtn11Click", 3, false, "28"}, {"BitBtn11Click", 1, false, "28"}, {nullptr, 3, false, "0"},
  };
  for (const auto &r : rows) {
    Restart();
    boxes.Messages.clear();
    Focus(Field("Edit9"));
    Field("Edit9")->setText("9");
    form->Edit7->setText("9");
    station.StopAnsweringAfter(r.answered);
    r.slot ? Click(r.slot) : Key(Qt::Key_Return);
    const std::string row = std::string(r.slot ? r.slot : "Enter") + " " + std::to_string(r.answered);
    EXPECT_EQ(boxes.Messages, std::vector<std::string>{LinkLostMessage}) << row;
    EXPECT_EQ(station.Received().size(), r.answered + 1) << row;
    EXPECT_EQ(form->Timer1->Enabled(), r.refreshArmed) << row;
    EXPECT_NE(Field("Edit9")->text(), "0") << row << ": the change stays in the window";
    EXPECT_EQ(Field("Edit11")->text(), r.pow10) << row;
  }
}

TEST_F(EditingTest, ColumnOverwriteWritesTheWholeTable) {
  ChooseCell(1, 4);
  form->Edit7->setText("9");
  ClearMessages(*form);
  AddMessage(*form, "kept");
  Click("BitBtn15Click");
  std::vector<uint8_t> expected = {60, 9, 9, 9, 9, 9, 9};
  expected.resize(1 + 34, 0);
  EXPECT_EQ(station.Received(), expected);
  for (int row = 1; row <= 6; ++row)
    EXPECT_EQ(form->Cells(1, row), "9");
  EXPECT_TRUE(form->BitBtn15->isEnabled());
  EXPECT_TRUE(form->Timer1->Enabled());
  EXPECT_EQ(form->MainState.PollMode, 3);
  EXPECT_EQ(MessageLines(*form), QStringList{"kept"});
  EXPECT_FALSE(std::filesystem::exists(dir.KstuneDir() / "Opros.txt"));
}

TEST_F(EditingTest, AColumnOverwriteStoppedEarlyWaitsForTheNextConnect) {
  const std::pair<const char *, size_t> rows[] = {{"9", 11}, {"x", 99}};
  for (const auto &[typed, answered] : rows) {
    Restart();
    boxes.Messages.clear();
    ChooseCell(2, 1);
    form->Edit7->setText(typed);
    station.StopAnsweringAfter(answered);
    Click("BitBtn15Click");
    EXPECT_EQ(boxes.Messages.size() + boxes.Errors.size(), 1u) << typed;
    EXPECT_EQ(form->Cells(2, 6), typed);
    EXPECT_FALSE(form->BitBtn15->isEnabled());
    station.ClearFaults();
    Click("BitBtn10Click");
    Click("BitBtn9Click");
    EXPECT_TRUE(form->BitBtn15->isEnabled());
  }
}

TEST_F(EditingTest, TheGridMarksOnlyTheChosenCellAndFillsItsFrame) {
  QTableWidget *grid = form->StringGrid1;
  EXPECT_EQ(grid->horizontalHeader()->length(), grid->viewport()->width()) << "no band on the right";
  EXPECT_EQ(grid->verticalHeader()->length(), grid->viewport()->height()) << "no band under row 6";
  // The background near a cell's bottom-right corner, clear of its text, and its aqua pixels.
  const auto look = [&](int column, int row) {
    const QImage image =
        grid->viewport()->grab(grid->visualRect(grid->model()->index(row, column))).toImage();
    int aqua = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        aqua += image.pixelColor(x, y) == Aqua;
    return std::pair{image.pixelColor(image.width() - 4, image.height() - 4), aqua};
  };
  const QColor White(Qt::white), Silver(0xC0, 0xC0, 0xC0);
  const auto expectMarked = [&](int markedColumn, int markedRow) {
    EXPECT_EQ(look(0, 2).first, Silver);
    for (int column = 1; column <= 2; ++column)
      for (int row = 1; row <= 6; ++row) {
        const bool marked = column == markedColumn && row == markedRow;
        const auto [back, aqua] = look(column, row);
        EXPECT_EQ(back, marked ? Purple : White) << column << "," << row;
        EXPECT_EQ(aqua > 0, marked) << column << "," << row;
      }
  };
  expectMarked(0, 0); // nothing at start-up
  ChooseCell(2, 5);
  expectMarked(2, 5);
  Focus(form->BitBtn7);
  expectMarked(2, 5); // the mark stays with the focus elsewhere
  Focus(Field("Edit1"));
  expectMarked(0, 0);
}

TEST_F(EditingTest, AStepWithNothingChosenOnlySaysSo) {
  ASSERT_EQ(form->MainState.SelectedParam, 0);
  for (const char *slot : {"BitBtn7Click", "BitBtn8Click"}) {
    AddMessage(*form, "before");
    Click(slot);
    EXPECT_EQ(MessageLines(*form), QStringList{NotChosen}) << slot;
    EXPECT_EQ(form->MainState.PollMode, 3) << slot;
    EXPECT_FALSE(form->Timer1->Enabled()) << slot;
    EXPECT_EQ(form->MainState.StepSize, 0) << slot << ": the step panel is not even read";
  }
  QTest::qWait(20);
  EXPECT_TRUE(station.Received().empty());
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_TRUE(boxes.Errors.empty());
}

// Real key presses in the grid: Tab and Shift+Tab leave it (from a cell editor too, keeping the
// typed text), and an arrow with no current cell chooses cell (1, 1).
TEST_F(EditingTest, TheGridsKeysLeaveItOrChooseTheFirstCell) {
  struct Row {
    const char *what;
    bool editing;      // type into the cell's editor first
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  };
  const Row rows[] = {
      {"Tab", false, Qt::Key_Tab, Qt::NoModifier},
      {"Shift+Tab", false, Qt::Key_Backtab, Qt::ShiftModifier},
      {"Tab in the editor", true, Qt::Key_Tab, Qt::NoModifier},
      {"Shift+Tab in the editor", true, Qt::Key_Backtab, Qt::ShiftModifier},
  };
  for (const auto &r : rows) {
    Focus(Field("Edit19"));
    ChooseCell(2, 3);
    ASSERT_EQ(form->MainState.SelectedParam, 9) << r.what;
    if (r.editing) {
      Type("77");
      ASSERT_NE(QApplication::focusWidget(), form->StringGrid1) << r.what << ": the cell's editor is open";
    }
    QTest::keyClick(QApplication::focusWidget(), r.key, r.modifiers);
    QWidget *now = QApplication::focusWidget();
    ASSERT_NE(now, nullptr) << r.what;
    EXPECT_FALSE(now == form->StringGrid1 || form->StringGrid1->isAncestorOf(now))
        << r.what << ": the focus is still in the grid, on " << now->objectName().toStdString();
    // The next control after the grid is the first field (CORF), which takes the choice; the
    // one before it is a button of the port group, which leaves the cell chosen.
    const bool forward = r.key == Qt::Key_Tab;
    if (forward) {
      EXPECT_EQ(now, form->Edit1) << r.what << ": " << now->objectName().toStdString();
    } else {
      EXPECT_TRUE(form->GroupBox2->isAncestorOf(now)) << r.what << ": " << now->objectName().toStdString();
    }
    EXPECT_EQ(form->MainState.SelectedParam, forward ? 19 : 9) << r.what;
    if (r.editing) {
      EXPECT_EQ(form->Cells(2, 3), "77") << r.what;
    }
  }

  // No current cell after a field was chosen: an arrow chooses cell (1, 1).
  for (Qt::Key arrow : {Qt::Key_Down, Qt::Key_Right, Qt::Key_Up, Qt::Key_Left}) {
    Focus(Field("Edit19"));
    ASSERT_EQ(form->MainState.SelectedParam, 18);
    Focus(form->StringGrid1);
    QTest::keyClick(form->StringGrid1, arrow);
    EXPECT_EQ(form->MainState.SelectedParam, 1) << arrow;
    EXPECT_EQ(form->MainState.SelectedColumn, 1) << arrow;
    EXPECT_EQ(form->MainState.SelectedRow, 1) << arrow;
    EXPECT_EQ(form->StringGrid1->currentRow(), 1) << arrow;
    EXPECT_EQ(form->StringGrid1->currentColumn(), 1) << arrow;
  }
  // With a current cell the arrows move as usual.
  QTest::keyClick(form->StringGrid1, Qt::Key_Down);
  EXPECT_EQ(form->MainState.SelectedParam, 2);
  EXPECT_TRUE(station.Received().empty());
}

TEST_F(EditingTest, TheChosenFieldKeepsItsMarkWhileThePanelsAreDisabled) {
  Focus(Field("Edit19"));
  Focus(form->Edit7);
  Click("BitBtn10Click");
  ASSERT_FALSE(form->Panel1->isEnabled());
  for (QLineEdit *field : {Field("Edit19"), Field("Edit1")}) {
    const bool chosen = field == Field("Edit19");
    const QImage image = field->grab().toImage();
    // Right of the text, inside the frame: the field's background as drawn.
    const QColor back = image.pixelColor(image.width() - 5, image.height() / 2);
    EXPECT_EQ(back == Purple, chosen) << field->objectName().toStdString() << " " << back.name().toStdString();
    EXPECT_EQ(field->palette().color(QPalette::Disabled, QPalette::Text) == Aqua, chosen)
        << field->objectName().toStdString();
  }
}
