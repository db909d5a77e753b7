#include "main/UnitMain.h"

#include "link/Connection.h"
#include "main/GridDelegate.h"
#include "main/Panels.h"
#include "main/StartUp.h"
#include "params/ParamTable.h"
#include "platform/IniFile.h"
#include "records/Report.h"
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
    {&Ui::UnitMain::BitBtn1, BitBtn1},   {&Ui::UnitMain::BitBtn2, BitBtn2},   {&Ui::UnitMain::BitBtn11, BitBtn11},
    {&Ui::UnitMain::BitBtn12, BitBtn12}, {&Ui::UnitMain::BitBtn13, BitBtn13}, {&Ui::UnitMain::BitBtn21, BitBtn21},
    {&Ui::UnitMain::BitBtn22, BitBtn22}, {&Ui::UnitMain::BitBtn23, BitBtn23}, {&Ui::UnitMain::BitBtn24, BitBtn24},
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
  setupUi(this);
  // A list with entry shows its own text until a station is chosen.
  ComboBox1->setCurrentIndex(-1);
  ComboBox1->setEditText(QStringLiteral("Выбор станции"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(706, 362);
  ApplyDesignFonts();
  ApplyGlyphs();
  SetUpGrid();
  Memo1->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
  Timer1->SetInterval(800);
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
  QFont base = font();
  base.setPixelSize(11);
  setFont(base);
  QFont grid = StringGrid1->font();
  grid.setPixelSize(13);
  StringGrid1->setFont(grid);
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
  const int widths[] = {64, 69, 79};
  for (int c = 0; c < 3; ++c)
    StringGrid1->setColumnWidth(c, widths[c]);
  for (int r = 0; r < 7; ++r) {
    StringGrid1->setRowHeight(r, 21);
    for (int c = 0; c < 3; ++c) {
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
  const QSignalBlocker quiet(StringGrid1);
  StringGrid1->setCurrentCell(1, 1);
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
  connect(StringGrid1, &QTableWidget::currentCellChanged, this,
          [this](int row, int column, int, int) { StringGrid1SelectCell(column, row); });
  for (const auto &entry : FieldEnterSlots)
    (this->*entry.field)->installEventFilter(this);
  qApp->installEventFilter(this);
}

QString TForm1::Cells(int column, int row) const {
  const QTableWidgetItem *item = StringGrid1->item(row, column);
  return item ? item->text() : QString();
}

void TForm1::SetCells(int column, int row, const QString &text) { StringGrid1->item(row, column)->setText(text); }

bool TForm1::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::FocusIn) {
    for (const auto &entry : FieldEnterSlots)
      if (watched == this->*entry.field)
        (this->*entry.slot)();
    return false;
  }
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    // Key preview covers this window's own controls only, and each key-down once: the
    // application filter also sees the event again as it propagates to parents.
    auto *widget = static_cast<QWidget *>(watched);
    if (widget->window() != this || (widget != QApplication::focusWidget() && widget != this))
      return false;
    auto *key = static_cast<QKeyEvent *>(event);
    return FormKeyDown(key->key(), key->modifiers());
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

// The telemetry refresh, the parameter choice and the key handler belong to the link and editing
// routines, which hook in here.
void TForm1::Timer1Timer() {}

void TForm1::StringGrid1SelectCell(int, int) {}

bool TForm1::FormKeyDown(int, Qt::KeyboardModifiers) { return false; }

void TForm1::Edit1Enter() {}
void TForm1::Edit2Enter() {}
void TForm1::Edit3Enter() {}
void TForm1::Edit4Enter() {}
void TForm1::Edit5Enter() {}
void TForm1::Edit6Enter() {}
void TForm1::Edit9Enter() {}
void TForm1::Edit10Enter() {}
void TForm1::Edit11Enter() {}
void TForm1::Edit12Enter() {}
void TForm1::Edit13Enter() {}
void TForm1::Edit14Enter() {}
void TForm1::Edit15Enter() {}
void TForm1::Edit16Enter() {}
void TForm1::Edit17Enter() {}
void TForm1::Edit18Enter() {}
void TForm1::Edit19Enter() {}
