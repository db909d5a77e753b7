#include "viewer/JournalWindow.h"
#include "viewer/JournalWindowRoles.h"

#include "ui_JournalWindow.h"

#include "viewer/Export.h"
#include "viewer/ModelPresetValues.h"
#include "viewer/RecordValues.h"
#include "viewer/StationsModel.h"
#include "viewer/TelemetryView.h"
#include "viewer/VisitList.h"
#include "viewer/VisitModel.h"

#include "journal/StationReplay.h"
#include "platform/WindowsDirectory.h"

#include <QApplication>
#include <QScreen>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>
#include <utility>

namespace viewer {

using namespace window_roles;


namespace {


QString ParameterText(const TJournalRow &r) {
  if (!r.Parameter)
    return {};
  return QString::number(*r.Parameter);
}

} // namespace

JournalWindow::JournalWindow(QWidget *parent) : QMainWindow(parent) {
  BuildUi();
  followTimer_.setInterval(FollowIntervalMs);
  chartTimer_.setSingleShot(true);
  chartTimer_.setInterval(ChartRedrawMs);
  connect(&chartTimer_, &QTimer::timeout, this,
          [this] { DrawChart(chart_->chart()->title()); });
  connect(&followTimer_, &QTimer::timeout, this, &JournalWindow::PollJournal);
}

JournalWindow::~JournalWindow() = default;

void JournalWindow::BuildUi() {
  ui_ = std::make_unique<Ui::JournalWindow>();
  ui_->setupUi(this);
  message_ = ui_->Message;
  serialFilter_ = ui_->SerialFilter;
  modelFilter_ = ui_->ModelFilter;
  benchFilter_ = ui_->BenchFilter;
  operatorFilter_ = ui_->OperatorFilter;
  period_ = ui_->PeriodFilter;
  from_ = ui_->FromDate;
  to_ = ui_->ToDate;
  stations_ = ui_->Stations;
  stationTitle_ = ui_->StationTitle;
  history_ = ui_->History;
  values_ = ui_->Values;
  valuesTitle_ = ui_->ValuesTitle;
  chart_ = ui_->Chart;
  leftWith_ = ui_->LeftWith;
  copySeries_ = ui_->CopySeries;
  follow_ = ui_->Follow;
  from_->setDate(QDate::currentDate().addMonths(-1));
  to_->setDate(QDate::currentDate());
  QFont big = stationTitle_->font();
  big.setPointSizeF(big.pointSizeF() * 1.25);
  big.setBold(true);
  stationTitle_->setFont(big);
  valuesTitle_->setText(QStringLiteral("Выберите запись \"Запись\", \"Переписать ряд\" или \"Чтение\"; две записи — их разница."));

  // Sizes follow the font, so a larger font or QT_SCALE_FACTOR keeps every caption whole.
  const QFontMetrics metrics(font());
  const int rowHeight = metrics.height() + 6;
  const auto chars = [&](int n) { return metrics.horizontalAdvance(QLatin1Char('0')) * n + 12; };
  stationsModel_ = new StationsModel(index_, this);
  stations_->setModel(stationsModel_);
  stations_->verticalHeader()->hide();
  // Fixed rows: the list is reset at every key typed into the filter, twenty thousand rows and more.
  stations_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  stations_->verticalHeader()->setDefaultSectionSize(rowHeight);
  stations_->horizontalHeader()->setStretchLastSection(true);
  for (int column = 0; column < stationsModel_->columnCount(); ++column)
    stations_->setColumnWidth(column, chars(std::vector<int>{16, 6, 9, 19, 7, 10, 12}[static_cast<size_t>(column)]));
  // The serial column ascending is the list's own order; a click on a caption sorts by it.
  stations_->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
  history_->setColumnWidth(0, chars(24));
  history_->setColumnWidth(1, chars(16));
  history_->setColumnWidth(2, chars(3));
  history_->setColumnWidth(3, chars(7));
  history_->setColumnWidth(4, chars(14));
  // A factory server says who sent each record and when it had it: shown before the details,
  // which keep the rest of the width; hidden on a bench's own file, which cannot know.
  history_->setColumnCount(ReceiptColumn + 1);
  history_->headerItem()->setText(ReceiptColumn, QStringLiteral("Получено сервером"));
  history_->header()->moveSection(ReceiptColumn, 5);
  history_->setColumnWidth(ReceiptColumn, chars(34));
  history_->setColumnHidden(ReceiptColumn, true);
  values_->setColumnCount(6);
  values_->setHorizontalHeaderLabels({QStringLiteral("№"), QStringLiteral("Параметр"), QStringLiteral("Поле"),
                                      QStringLiteral("Значение"), QStringLiteral("Второе"), QStringLiteral("Предустановка")});
  values_->setColumnHidden(5, true);
  values_->verticalHeader()->hide();
  values_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  values_->verticalHeader()->setDefaultSectionSize(rowHeight);
  values_->setColumnWidth(0, chars(3));
  values_->setColumnWidth(1, chars(16));
  values_->setColumnWidth(2, chars(30));
  values_->setColumnWidth(3, chars(18));
  values_->horizontalHeader()->setStretchLastSection(true);
  chart_->setRenderHint(QPainter::Antialiasing);
  chart_->setChart(TelemetryChart({}, QString()));
  chart_->ConnectLegend();
  ui_->RightSplitter->setStretchFactor(0, 2);
  ui_->RightSplitter->setStretchFactor(1, 3);
  ui_->Splitter->setStretchFactor(0, 0);
  ui_->Splitter->setStretchFactor(1, 1);
  // Within the screen it opens on (1366×768 included), the list a third of the width.
  QSize size(1200, 700);
  if (const QScreen *screen = QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size() * 0.92);
  resize(size);
  ui_->Splitter->setSizes({size.width() * 2 / 5, size.width() * 3 / 5});

  connect(ui_->LocalJournal, &QAction::triggered, this, [this] { OpenJournal(LocalJournal()); });
  connect(ui_->FactoryJournal, &QAction::triggered, this, [this] {
    if (const auto source = FactoryJournal())
      OpenJournal(*source);
    else
      Say(QStringLiteral("Заводской журнал не задан: ключ Database в разделе [Journal] файла Q417Options.ini."), true);
  });
  connect(ui_->OpenFile, &QAction::triggered, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Журнал kstune"), QString(),
                                                      QStringLiteral("Журнал (*.sqlite);;Все файлы (*)"));
    if (!path.isEmpty())
      OpenJournal(SourceFromArgument(path));
  });
  connect(ui_->Quit, &QAction::triggered, this, &QWidget::close);
  // The two periods asked for most, in one click each.
  for (const auto &[button, days] : {std::pair{ui_->Today, 0}, std::pair{ui_->LastWeek, 6}}) {
    connect(button, &QToolButton::clicked, this, [this, days = days] {
      const QDate today = QDate::currentDate();
      {
        const QSignalBlocker blockFrom(from_), blockTo(to_), blockPeriod(period_);
        from_->setDate(today.addDays(-days));
        to_->setDate(today);
        period_->setChecked(true);
        from_->setEnabled(true);
        to_->setEnabled(true);
      }
      ApplyFilter();
    });
  }
  connect(serialFilter_, &QLineEdit::textChanged, this, &JournalWindow::ApplyFilter);
  connect(benchFilter_, &QLineEdit::textChanged, this, &JournalWindow::ApplyFilter);
  connect(operatorFilter_, &QLineEdit::textChanged, this, &JournalWindow::ApplyFilter);
  connect(modelFilter_, &QComboBox::currentIndexChanged, this, &JournalWindow::ApplyFilter);
  connect(period_, &QCheckBox::toggled, this, [this](bool on) {
    from_->setEnabled(on);
    to_->setEnabled(on);
    ApplyFilter();
  });
  connect(from_, &QDateEdit::dateChanged, this, &JournalWindow::ApplyFilter);
  connect(to_, &QDateEdit::dateChanged, this, &JournalWindow::ApplyFilter);
  connect(stations_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex &current) { ShowStation(stationsModel_->StationAt(current.row())); });
  connect(history_, &QTreeWidget::itemSelectionChanged, this, &JournalWindow::HistorySelectionChanged);
  connect(history_, &QTreeWidget::itemExpanded, this, &JournalWindow::UnfoldTelemetry);
  connect(leftWith_, &QPushButton::clicked, this, &JournalWindow::ShowLeftWith);
  connect(copySeries_, &QPushButton::clicked, this, &JournalWindow::CopySeries);
  connect(ui_->CompareVisits, &QPushButton::clicked, this, &JournalWindow::CompareVisits);
  connect(ui_->ChangedOnly, &QCheckBox::toggled, this, &JournalWindow::ShowChangedOnly);
  connect(ui_->ExportCsv, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Записи в CSV"),
                                                      stationSerial_ + QStringLiteral(".csv"),
                                                      QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty())
      SaveCsv(path);
  });
  connect(ui_->ExportPdf, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("История в PDF"),
                                                      stationSerial_ + QStringLiteral(".pdf"),
                                                      QStringLiteral("PDF (*.pdf)"));
    if (!path.isEmpty())
      SavePdf(path);
  });
  connect(ui_->ExportVisits, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Визиты в файл"), QStringLiteral("visits.xlsx"),
                                                      QStringLiteral("Книга Excel (*.xlsx);;CSV (*.csv)"));
    if (!path.isEmpty())
      SaveVisitList(path);
  });
  connect(follow_, &QCheckBox::toggled, this, &JournalWindow::SetFollow);
}

void JournalWindow::Say(const QString &text, bool problem) {
  messageAboutStation_ = station_ >= 0 && !text.isEmpty();
  message_->setText(text);
  message_->setStyleSheet(problem ? QStringLiteral("QLabel { background: #fde2e1; color: #8a1c13; padding: 4px; }")
                                  : QStringLiteral("QLabel { background: #e6f0fa; padding: 4px; }"));
  message_->setVisible(!text.isEmpty());
}

void JournalWindow::DrawChart(const QString &title) {
  // Smoothing thousands of steps costs more than it shows: a long session is drawn plain.
  constexpr qsizetype SmoothUpTo = 1500;
  chart_->setRenderHint(QPainter::Antialiasing, telemetry_.dac[0].size() + telemetry_.refl.size() <= SmoothUpTo);
  ShowTelemetry(chart_->chart(), telemetry_, title);
}

QString JournalWindow::Message() const { return message_->text(); }

namespace {

// A file in the user's own folders is named as a technician reads it elsewhere ("~/.local/…").
QString HomeShortened(const QString &path) {
  const QString home = QString::fromStdString(HomeDirectory());
  if (home.isEmpty() || !path.startsWith(home + QLatin1Char('/')))
    return path;
  return QStringLiteral("~") + path.mid(home.size());
}

} // namespace

bool JournalWindow::OpenJournal(const JournalSource &source) {
  follow_->setChecked(false);
  // The list lets go of the old stations before they are gone; the right side, the title and
  // any message about the old journal's station go with them.
  stationsModel_->Show({});
  index_.Clear();
  ShowStation(-1);
  Say(QString());
  setWindowTitle(QStringLiteral("Журнал kstune — %1").arg(source.server ? WithoutPassword(source.uri) : source.path));
  if (!store_.Open(source)) {
    stationsModel_->Show({});
    Say(store_.Error(), true);
    statusBar()->showMessage(QStringLiteral("Журнал не открыт"));
    return false;
  }
  history_->setColumnHidden(ReceiptColumn, !store_.HasReceipts());
  index_.Add(store_.LoadSessions());
  if (!store_.Error().isEmpty())
    Say(store_.Error(), true);
  else
    Say(store_.Warning(), !store_.Warning().isEmpty());
  const QString model = modelFilter_->currentText();
  {
    const QSignalBlocker block(modelFilter_);
    modelFilter_->clear();
    modelFilter_->addItem(QStringLiteral("все"));
    modelFilter_->addItems(index_.Models());
    modelFilter_->setCurrentIndex(std::max(0, modelFilter_->findText(model)));
  }
  ApplyFilter();
  statusBar()->showMessage(QStringLiteral("%1: радиостанций %2, сеансов %3")
                               .arg(source.server ? WithoutPassword(source.uri) : HomeShortened(source.path))
                               .arg(std::count_if(index_.Stations().begin(), index_.Stations().end(),
                                                  [](const StationEntry &s) { return !s.serial.isEmpty(); }))
                               .arg(index_.Sessions().size()));
  return true;
}

StationFilter JournalWindow::CurrentFilter() const {
  StationFilter filter;
  filter.serial = serialFilter_->text();
  if (modelFilter_->currentIndex() > 0)
    filter.model = modelFilter_->currentText();
  filter.bench = benchFilter_->text().trimmed();
  filter.operatorName = operatorFilter_->text().trimmed();
  if (period_->isChecked()) {
    filter.from = from_->date();
    filter.to = to_->date();
  }
  return filter;
}

void JournalWindow::ApplyFilter() {
  const StationFilter filter = CurrentFilter();
  const int keep = station_;
  {
    const QSignalBlocker block(stations_->selectionModel());
    stationsModel_->Show(index_.Match(filter));
    const int row = stationsModel_->RowOf(keep);
    if (row >= 0)
      stations_->selectionModel()->setCurrentIndex(stationsModel_->index(row, 0),
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  // A station the filter took away is not answered for on the right.
  if (keep >= 0 && stationsModel_->RowOf(keep) < 0)
    ShowStation(-1);
}

void JournalWindow::ShowStationRow(int row) {
  stations_->selectionModel()->setCurrentIndex(stationsModel_->index(row, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void JournalWindow::ShowStation(int station) {
  // What was said about the station shown before is not about this one.
  if (messageAboutStation_ && station != station_)
    Say(QString());
  station_ = station;
  stationSessions_ = index_.SessionIdsOf(station);
  records_.clear();
  receipts_.clear();
  if (station >= 0) {
    const StationEntry &s = index_.Stations()[static_cast<size_t>(station)];
    stationSerial_ = s.serial;
    std::vector<TJournalRow> bySession = store_.RecordsOfSessions(stationSessions_, &receipts_);
    // Sessions oldest first, each in its own order.
    for (const QString &session : stationSessions_)
      for (TJournalRow &r : bySession)
        if (r.Session == session)
          records_.push_back(std::move(r));
    stationTitle_->setText(s.serial.isEmpty()
                               ? QStringLiteral("Сеансы без серийного номера: стенд %1, %2")
                                     .arg(s.bench, s.date.toString(QStringLiteral("dd.MM.yyyy")))
                               : QStringLiteral("Радиостанция %1, %2").arg(s.serial, VisitModelText(records_)));
  } else {
    stationSerial_.clear();
    stationTitle_->setText(QStringLiteral("Выберите радиостанцию в списке"));
  }
  FillHistory();
  ShowValues({});
  ShowSessionChart(stationSessions_.isEmpty() ? QString() : stationSessions_.back());
}

void JournalWindow::FillHistory() {
  const QSignalBlocker block(history_);
  history_->clear();
  recordItems_.clear();
  AddHistoryItems(0);
}

namespace {

bool IsTelemetry(const TJournalRow &r) {
  return JournalOp::Is(r.Operation, JournalOp::Dac) || JournalOp::Is(r.Operation, JournalOp::ReflForw);
}

} // namespace

void JournalWindow::AddHistoryItems(size_t from) {
  const QSignalBlocker block(history_);
  recordItems_.resize(records_.size(), nullptr);
  QTreeWidgetItem *sessionItem =
      history_->topLevelItemCount() > 0 ? history_->topLevelItem(history_->topLevelItemCount() - 1) : nullptr;
  for (size_t i = from; i < records_.size(); ++i) {
    const TJournalRow &r = records_[i];
    if (!sessionItem || sessionItem->data(0, SessionRole).toString() != r.Session) {
      const QString session = r.Session;
      sessionItem = new QTreeWidgetItem(history_);
      std::vector<TJournalRow> visit;
      for (const TJournalRow &other : records_)
        if (other.Session == session)
          visit.push_back(other);
      const bool interrupted = SessionInterrupted(visit, session);
      sessionItem->setText(0, interrupted ? QStringLiteral("Сеанс %1 — прерван").arg(TimeText(r.At))
                                          : QStringLiteral("Сеанс %1").arg(TimeText(r.At)));
      sessionItem->setText(5, QStringLiteral("стенд %1, оператор %2, порт %3, модель %4%5")
                                  .arg(r.Bench, r.Operator, r.Port, VisitModelText(visit),
                                       interrupted ? QStringLiteral("; нет записи об окончании сеанса: kstune "
                                                                    "остановлен, питание пропало, или сеанс еще идет")
                                                   : QString()));
      if (interrupted)
        sessionItem->setForeground(0, QBrush(QColor(0xb0, 0x20, 0x20)));
      sessionItem->setData(0, SessionRole, r.Session);
      QFont bold = sessionItem->font(0);
      bold.setBold(true);
      sessionItem->setFont(0, bold);
      sessionItem->setExpanded(true);
    }
    // A poll a second would bury the operations: a run of telemetry is one folded row, the chart
    // shows it.
    QTreeWidgetItem *parent = sessionItem;
    if (IsTelemetry(r)) {
      QTreeWidgetItem *last = sessionItem->childCount() > 0 ? sessionItem->child(sessionItem->childCount() - 1) : nullptr;
      if (!last || !last->data(0, TelemetryRole).toBool()) {
        last = new QTreeWidgetItem(sessionItem);
        last->setText(0, TimeText(r.At));
        last->setText(1, QStringLiteral("Телеметрия"));
        last->setData(0, TelemetryRole, true);
        last->setData(0, SessionRole, r.Session);
        last->setData(0, FirstRole, static_cast<int>(i));
        last->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
      }
      const int count = static_cast<int>(i) - last->data(0, FirstRole).toInt() + 1;
      last->setData(0, CountRole, count);
      last->setText(5, QStringLiteral("опросов: %1, до %2").arg(count).arg(TimeText(r.At)));
      // Its polls become rows only when the run is unfolded: thousands of rows nobody reads.
      if (!last->isExpanded())
        continue;
      parent = last;
    }
    auto *item = new QTreeWidgetItem(parent);
    item->setText(0, TimeText(r.At));
    item->setText(1, OperationText(r.Operation));
    item->setText(2, ParameterText(r));
    item->setText(3, r.Value ? QString::number(*r.Value) : QString());
    item->setText(4, OutcomeText(r.Outcome));
    item->setText(5, r.Detail.isEmpty() ? r.Series : r.Detail);
    item->setText(ReceiptColumn, ReceiptText(r.Id));
    item->setData(0, RecordRole, static_cast<int>(i));
    item->setData(0, SessionRole, r.Session);
    if (r.Outcome != TJournalOutcome::Ok)
      item->setForeground(4, QBrush(QColor(0xb0, 0x20, 0x20)));
    recordItems_[i] = item;
  }
  if (sessionItem && from < records_.size())
    history_->scrollToItem(sessionItem->child(sessionItem->childCount() - 1));
}

QString JournalWindow::ReceiptText(const QString &id) const {
  const auto found = receipts_.constFind(id);
  if (found == receipts_.constEnd())
    return {};
  return QStringLiteral("%1, %2").arg(found->by, TimeText(found->at));
}

void JournalWindow::UnfoldTelemetry(QTreeWidgetItem *group) {
  if (!group->data(0, TelemetryRole).toBool() || group->childCount() > 0)
    return;
  const int first = group->data(0, FirstRole).toInt(), count = group->data(0, CountRole).toInt();
  const QSignalBlocker block(history_);
  for (int i = first; i < first + count && i < static_cast<int>(records_.size()); ++i) {
    const TJournalRow &r = records_[static_cast<size_t>(i)];
    auto *item = new QTreeWidgetItem(group);
    item->setText(0, TimeText(r.At));
    item->setText(1, OperationText(r.Operation));
    item->setText(4, OutcomeText(r.Outcome));
    item->setText(5, r.Detail);
    item->setText(ReceiptColumn, ReceiptText(r.Id));
    item->setData(0, RecordRole, i);
    item->setData(0, SessionRole, r.Session);
    recordItems_[static_cast<size_t>(i)] = item;
  }
}

std::vector<int> JournalWindow::ChosenRecords() const {
  std::vector<int> chosen;
  for (QTreeWidgetItem *item : history_->selectedItems()) {
    const QVariant position = item->data(0, RecordRole);
    if (position.isValid())
      chosen.push_back(position.toInt());
  }
  std::sort(chosen.begin(), chosen.end());
  return chosen;
}

void JournalWindow::ChooseRecords(const std::vector<int> &positions) {
  {
    const QSignalBlocker block(history_);
    history_->clearSelection();
    for (int p : positions)
      if (p >= 0 && p < static_cast<int>(recordItems_.size()) && recordItems_[static_cast<size_t>(p)])
        recordItems_[static_cast<size_t>(p)]->setSelected(true);
  }
  if (!positions.empty() && positions.back() >= 0 && positions.back() < static_cast<int>(recordItems_.size()) &&
      recordItems_[static_cast<size_t>(positions.back())])
    history_->scrollToItem(recordItems_[static_cast<size_t>(positions.back())]);
  HistorySelectionChanged();
}

void JournalWindow::HistorySelectionChanged() {
  const std::vector<int> chosen = ChosenRecords();
  std::vector<int> withValues;
  for (int p : chosen)
    if (JournalOp::HoldsAllValues(records_[static_cast<size_t>(p)].Operation))
      withValues.push_back(p);
  ShowValues(withValues);
  QString session;
  if (QTreeWidgetItem *current = history_->currentItem(); current && current->isSelected())
    session = current->data(0, SessionRole).toString();
  else if (!chosen.empty())
    session = records_[static_cast<size_t>(chosen.back())].Session;
  if (!session.isEmpty() && session != chartSession_)
    ShowSessionChart(session);
}

void JournalWindow::ShowSessionChart(const QString &session) {
  chartTimer_.stop();
  chartSession_ = session;
  std::vector<TJournalRow> sessionRecords;
  for (const TJournalRow &r : records_)
    if (r.Session == session)
      sessionRecords.push_back(r);
  telemetry_ = TelemetryOf(sessionRecords);
  QString title;
  if (!sessionRecords.empty())
    title = QStringLiteral("Сеанс %1, стенд %2").arg(TimeText(sessionRecords.front().At), sessionRecords.front().Bench);
  DrawChart(title);
}

} // namespace viewer
