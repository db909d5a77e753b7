#include "main/UnitMain.h"

#include "link/CommandSet.h"
#include "link/Connection.h"
#include "link/FrontPanel.h"
#include "link/Telemetry.h"
#include "main/GridDelegate.h"
#include "main/Panels.h"
#include "main/StartUp.h"
#include "params/Choice.h"
#include "params/Editing.h"
#include "params/KeyDown.h"
#include "table/ParamList.h"
#include "platform/IniFile.h"
#include "records/Identity.h"
#include "records/ModelSelection.h"
#include "records/Report.h"
#include "records/Transfers.h"
#include "runtime/Dialogs.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

// The nine button pictures, each holding its normal and greyed state side by side. They are
// compiled in as XPM data, which needs no image-format plugin to read at start-up.
#include "resources/pictures/BitBtn1.xpm"
#include "resources/pictures/BitBtn11.xpm"
#include "resources/pictures/BitBtn12.xpm"
#include "resources/pictures/BitBtn13.xpm"
#include "resources/pictures/BitBtn2.xpm"
#include "resources/pictures/BitBtn21.xpm"
#include "resources/pictures/BitBtn22.xpm"
#include "resources/pictures/BitBtn23.xpm"
#include "resources/pictures/BitBtn24.xpm"

struct Glyph {
  QPushButton *Ui::UnitMain::*button;
  const char *const *picture;
};

const Glyph Glyphs[] = {
    {&Ui::UnitMain::BitBtn1, BitBtn1},   {&Ui::UnitMain::BitBtn2, BitBtn2},
    {&Ui::UnitMain::BitBtn11, BitBtn11}, {&Ui::UnitMain::BitBtn12, BitBtn12},
    {&Ui::UnitMain::BitBtn13, BitBtn13}, {&Ui::UnitMain::BitBtn21, BitBtn21},
    {&Ui::UnitMain::BitBtn22, BitBtn22}, {&Ui::UnitMain::BitBtn23, BitBtn23},
    {&Ui::UnitMain::BitBtn24, BitBtn24},
};

struct FieldEnterSlot {
  QLineEdit *Ui::UnitMain::*field;
  void (TForm1::*slot)();
};

constexpr FieldEnterSlot FieldEnterSlots[] = {
    {&Ui::UnitMain::Edit1, &TForm1::Edit1Enter},   {&Ui::UnitMain::Edit2, &TForm1::Edit2Enter},
    {&Ui::UnitMain::Edit3, &TForm1::Edit3Enter},   {&Ui::UnitMain::Edit4, &TForm1::Edit4Enter},
    {&Ui::UnitMain::Edit5, &TForm1::Edit5Enter},   {&Ui::UnitMain::Edit6, &TForm1::Edit6Enter},
    {&Ui::UnitMain::Edit9, &TForm1::Edit9Enter},   {&Ui::UnitMain::Edit10, &TForm1::Edit10Enter},
    {&Ui::UnitMain::Edit11, &TForm1::Edit11Enter}, {&Ui::UnitMain::Edit12, &TForm1::Edit12Enter},
    {&Ui::UnitMain::Edit13, &TForm1::Edit13Enter}, {&Ui::UnitMain::Edit14, &TForm1::Edit14Enter},
    {&Ui::UnitMain::Edit15, &TForm1::Edit15Enter}, {&Ui::UnitMain::Edit16, &TForm1::Edit16Enter},
    {&Ui::UnitMain::Edit17, &TForm1::Edit17Enter}, {&Ui::UnitMain::Edit18, &TForm1::Edit18Enter},
    {&Ui::UnitMain::Edit19, &TForm1::Edit19Enter},
};

} // namespace

TForm1::TForm1(QWidget *parent) : QWidget(parent), Timer1(new TTimer(this)) {
  // Before any child exists, so that every control is made in its final font: a font changed
  // afterwards reaches all ~90 of them again and lays out each field's text once more.
  ApplyDesignFonts();
  setupUi(this);
  // A list with entry shows its own text until a station is chosen.
  ComboBox1->setCurrentIndex(-1);
  ComboBox1->setEditText(QStringLiteral("Выбор станции"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(706, 362);
  ApplyGlyphs();
  SetUpGrid();
  Memo1->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
  Timer1->SetInterval(RefreshFirstPeriod);
  WireEvents();
  // A failing start-up step is shown like any other failed action; the window still opens.
  try {
    FormCreate();
  } catch (const std::exception &e) {
    ShowErrorBox(e.what());
  }
}

TForm1::~TForm1() {
  qApp->removeEventFilter(this);
  FormDestroy();
}

void TForm1::ApplyDesignFonts() {
  // Designer files carry point sizes only; the layout's fonts are given in pixels. Children that
  // set only family and weight inherit the pixel height from here.
  QFont base;
  base.setFamilies({QStringLiteral("Liberation Sans")});
  base.setBold(false);
  base.setPixelSize(11);
  setFont(base);
}

void TForm1::ApplyGlyphs() {
  for (const auto &glyph : Glyphs) {
    QPushButton *button = this->*glyph.button;
    const QPixmap both(glyph.picture);
    QIcon icon;
    icon.addPixmap(both.copy(0, 0, 16, 16), QIcon::Normal);
    icon.addPixmap(both.copy(16, 0, 16, 16), QIcon::Disabled);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
  }
}

void TForm1::SetUpGrid() {
  // The layout's widths and heights leave out the one-pixel line after each cell, which Qt's
  // sections include; with the layout's 2-pixel sunken border the cells fill the grid exactly.
  constexpr int widths[params::GridColumns] = {64, 69, 79};
  constexpr int rowHeight = 21, line = 1;
  QFont gridFont = StringGrid1->font();
  gridFont.setPixelSize(13);
  StringGrid1->setFont(gridFont);
  StringGrid1->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  for (int c = 0; c < params::GridColumns; ++c)
    StringGrid1->setColumnWidth(c, widths[c] + line);
  for (int r = 0; r < params::GridRows; ++r) {
    StringGrid1->setRowHeight(r, rowHeight + line);
    for (int c = 0; c < params::GridColumns; ++c) {
      auto *item = new QTableWidgetItem;
      if (r == 0 || c == 0) {
        // Header cells: never current, never edited, never selected.
        item->setFlags(Qt::NoItemFlags);
        item->setBackground(QColor(0xC0, 0xC0, 0xC0));
      }
      StringGrid1->setItem(r, c, item);
    }
  }
  StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
  StringGrid1->setItemDelegate(new TGridDelegate(*this, StringGrid1));
  // Tab leaves the grid for the next control instead of walking its cells.
  StringGrid1->setTabKeyNavigation(false);
  InstallGridKeys(*StringGrid1);
  // No cell is current or chosen until the technician picks one.
}

void TForm1::WireEvents() {
  connect(BitBtn9, &QPushButton::clicked, this, &TForm1::BitBtn9Click);
  connect(BitBtn10, &QPushButton::clicked, this, &TForm1::BitBtn10Click);
  connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
  connect(BitBtn23, &QPushButton::clicked, this, &TForm1::BitBtn23Click);
  connect(BitBtn24, &QPushButton::clicked, this, &TForm1::BitBtn24Click);
  connect(RadioButton1, &QRadioButton::clicked, this, &TForm1::RadioButton1Click);
  connect(RadioButton2, &QRadioButton::clicked, this, &TForm1::RadioButton2Click);
  connect(Timer1, &TTimer::OnTimer, this, &TForm1::Timer1Timer);
  // Every change of the box, by the technician or from code, as the box's own click event would.
  connect(CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
  const std::pair<QPushButton *, void (TForm1::*)()> clicks[] = {
      {BitBtn5, &TForm1::BitBtn5Click},   {BitBtn3, &TForm1::BitBtn3Click},
      {BitBtn4, &TForm1::BitBtn4Click},   {BitBtn6, &TForm1::BitBtn6Click},
      {BitBtn14, &TForm1::BitBtn14Click}, {BitBtn16, &TForm1::BitBtn16Click},
      {BitBtn17, &TForm1::BitBtn17Click}, {BitBtn18, &TForm1::BitBtn18Click},
      {BitBtn19, &TForm1::BitBtn19Click}, {BitBtn20, &TForm1::BitBtn20Click},
      {BitBtn7, &TForm1::BitBtn7Click},   {BitBtn8, &TForm1::BitBtn8Click},
      {BitBtn11, &TForm1::BitBtn11Click}, {BitBtn15, &TForm1::BitBtn15Click},
      {BitBtn1, &TForm1::BitBtn1Click},   {BitBtn2, &TForm1::BitBtn2Click},
      {BitBtn21, &TForm1::BitBtn21Click}, {BitBtn22, &TForm1::BitBtn22Click},
      {BitBtn13, &TForm1::BitBtn13Click}, {Button1, &TForm1::Button1Click},
  };
  for (const auto &[button, slot] : clicks)
    connect(button, &QPushButton::clicked, this, slot);
  connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this] { ModelListEdited(*this); });
  connect(StringGrid1, &QTableWidget::currentCellChanged, this,
          [this](int row, int column, int, int) { StringGrid1SelectCell(column, row); });
  // One filter for the whole application: a field's focus-in and a key-down each pass it once.
  qApp->installEventFilter(this);
}

QString TForm1::Cells(int column, int row) const {
  const QTableWidgetItem *item = StringGrid1->item(row, column);
  return item ? item->text() : QString();
}

void TForm1::SetCells(int column, int row, const QString &text) {
  StringGrid1->item(row, column)->setText(text);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::FocusIn) {
    // Entering a field moves the focus between controls; the window coming back to the front
    // or a popup closing returns it without the technician entering anything.
    const auto reason = static_cast<QFocusEvent *>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
      return false;
    for (const auto &entry : FieldEnterSlots)
      if (watched == this->*entry.field)
        (this->*entry.slot)();
    return false;
  }
  if (event->type() == QEvent::KeyRelease || event->type() == QEvent::MouseButtonPress)
    keyHandedOn_ = nullptr;
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    // Key preview covers this window's own controls only, and each key-down once: a key the
    // focused control ignores passes the filter again on its way to the parents, and one that
    // opens the grid's editor is handed on to the editor. Tab and Backtab stay with Qt, which
    // moves the focus with them.
    auto *widget = static_cast<QWidget *>(watched);
    const bool handedOn =
        event == keyHandedOn_ && keyTarget_ && widget != keyTarget_ && keyTarget_->isAncestorOf(widget);
    keyHandedOn_ = nullptr;
    QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : this;
    auto *key = static_cast<QKeyEvent *>(event);
    if (handedOn || widget != target || widget->window() != this || key->key() == Qt::Key_Tab ||
        key->key() == Qt::Key_Backtab)
      return false;
    const bool consumed = FormKeyDown(key->key(), key->modifiers());
    if (!consumed) {
      keyHandedOn_ = event;
      keyTarget_ = widget;
    }
    return consumed;
  }
  return QWidget::eventFilter(watched, event);
}

void TForm1::FormCreate() { StartUp(*this); }

void TForm1::FormDestroy() { MainState.OptionsFile.reset(); }

void TForm1::BitBtn9Click() { ConnectStation(*this); }

void TForm1::BitBtn10Click() { DisconnectStation(*this); }
void TForm1::SpeedButton1Click() { OpenReport(*this); }

void TForm1::BitBtn23Click() { ApplyNumberSeries(*this); }

void TForm1::BitBtn24Click() { WriteReport(*this); }

void TForm1::RadioButton1Click() { MainState.ComNumber = 1; }

void TForm1::RadioButton2Click() { MainState.ComNumber = 2; }

void TForm1::Timer1Timer() { RefreshTick(*this); }
void TForm1::CheckBox1Click() { DacDisplayChanged(*this); }
void TForm1::BitBtn5Click() { ReadReflForw(*this); }

void TForm1::BitBtn3Click() { PressFrontPanel(*this, Command::ChannelUp); }
void TForm1::BitBtn4Click() { PressFrontPanel(*this, Command::ChannelDown); }
void TForm1::BitBtn6Click() { PressFrontPanel(*this, Command::ReceiveMode); }
void TForm1::BitBtn14Click() { PressFrontPanel(*this, Command::VolumeUp); }
void TForm1::BitBtn16Click() { PressFrontPanel(*this, Command::VolumeDown); }
void TForm1::BitBtn17Click() { PressFrontPanel(*this, Command::TransmitMinPower); }
void TForm1::BitBtn18Click() { PressFrontPanel(*this, Command::TransmitMaxPower); }
void TForm1::BitBtn19Click() { PressFrontPanel(*this, Command::Squelch); }
void TForm1::BitBtn20Click() { PressFrontPanel(*this, Command::Scrambler); }

void TForm1::BitBtn7Click() { StepParameter(*this, true); }
void TForm1::BitBtn8Click() { StepParameter(*this, false); }
void TForm1::BitBtn11Click() { OverwriteValue(*this); }
void TForm1::BitBtn15Click() { OverwriteColumn(*this); }
void TForm1::StringGrid1SelectCell(int column, int row) { ChooseCell(*this, column, row); }
bool TForm1::FormKeyDown(int key, Qt::KeyboardModifiers shift) {
  return HandleKeyDown(*this, key, shift.toInt());
}

void TForm1::Edit1Enter() { ChooseField(*this, Edit1); }
void TForm1::Edit2Enter() { ChooseField(*this, Edit2); }
void TForm1::Edit3Enter() { ChooseField(*this, Edit3); }
void TForm1::Edit4Enter() { ChooseField(*this, Edit4); }
void TForm1::Edit5Enter() { ChooseField(*this, Edit5); }
void TForm1::Edit6Enter() { ChooseField(*this, Edit6); }
void TForm1::Edit9Enter() { ChooseField(*this, Edit9); }
void TForm1::Edit10Enter() { ChooseField(*this, Edit10); }
void TForm1::Edit11Enter() { ChooseField(*this, Edit11); }
void TForm1::Edit12Enter() { ChooseField(*this, Edit12); }
void TForm1::Edit13Enter() { ChooseField(*this, Edit13); }
void TForm1::Edit14Enter() { ChooseField(*this, Edit14); }
void TForm1::Edit15Enter() { ChooseField(*this, Edit15); }
void TForm1::Edit16Enter() { ChooseField(*this, Edit16); }
void TForm1::Edit17Enter() { ChooseField(*this, Edit17); }
void TForm1::Edit18Enter() { ChooseField(*this, Edit18); }
void TForm1::Edit19Enter() { ChooseField(*this, Edit19); }

void TForm1::BitBtn1Click() { WriteAll(*this); }
void TForm1::BitBtn2Click() { ReadAll(*this); }
void TForm1::BitBtn21Click() { RestoreSnapshot(*this); }
void TForm1::BitBtn22Click() { SelectModel(*this); }
void TForm1::BitBtn13Click() { ReadSerialNumber(*this); }
void TForm1::Button1Click() { ReadProcessorDate(*this); }
