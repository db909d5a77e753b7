#include "platform/office/ExcelApplication.h"

#include "platform/office/OfficeInstance.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

// Workbook formats the office both reads and writes. Anything else (a text file named .xls
// comes in through the text import) is no workbook, and storing would turn it into plain text.
const char *const WorkbookFilters[] = {
    "MS Excel 97",
    "MS Excel 97 Vorlage/Template",
    "Calc MS Excel 2007 XML",
    "Calc MS Excel 2007 VBA XML",
    "Calc MS Excel 2007 XML Template",
    "Calc Office Open XML",
    "Calc Office Open XML Template",
    "calc8",
    "calc8_template",
};

bool IsWorkbookFilter(const std::string &filter) {
  return std::any_of(std::begin(WorkbookFilters), std::end(WorkbookFilters),
                     [&](const char *name) { return filter == name; });
}

std::string FilterOf(const Reference<css::lang::XComponent> &document) {
  const Reference<css::frame::XModel> model(document, UNO_QUERY);
  if (!model.is())
    return {};
  for (const auto &arg : model->getArgs())
    if (arg.Name == "FilterName") {
      rtl::OUString name;
      arg.Value >>= name;
      return ToUtf8(name);
    }
  return {};
}

void CloseDocument(const Reference<css::lang::XComponent> &document) {
  const Reference<css::util::XCloseable> closeable(document, UNO_QUERY);
  if (closeable.is())
    closeable->close(true);
  else
    document->dispose();
}

// A cell's value as text: a text cell's text, a number in its shortest form, empty otherwise.
std::string ValueText(const css::uno::Any &value) {
  rtl::OUString text;
  if (value >>= text)
    return ToUtf8(text);
  double number = 0;
  if (value >>= number) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.15g", number);
    return digits;
  }
  return {};
}

} // namespace

struct TExcelApplication::TImpl {
  explicit TImpl(const TOfficeOptions &options) : Office(options) {}

  // The workbook's first worksheet, or an Exception when no workbook is open.
  const Reference<css::sheet::XSpreadsheet> &Sheet(const std::string &what) const {
    if (!Document.is())
      throw Exception(what + ": рабочая книга не открыта");
    return FirstSheet;
  }

  void CheckCell(const std::string &what, int row, int column) const {
    Sheet(what);
    if (row < 1 || column < 1)
      throw Exception(what + ": строки и столбцы считаются от 1");
    if (row > RowCount || column > ColumnCount)
      throw Exception(what + ": за пределами листа (" + std::to_string(RowCount) + " строк, " +
                      std::to_string(ColumnCount) + " столбцов)");
  }

  // Values of consecutive rows of one column, read in one call; the office is ours alone, so
  // only our own writes can make them stale.
  struct TColumnBlock {
    int Column = 0;
    int FirstRow = 0;
    std::vector<std::string> Texts;
  };
  static constexpr int BlockRows = 256;

  TOfficeInstance Office;
  Reference<css::lang::XComponent> Document;
  Reference<css::sheet::XSpreadsheet> FirstSheet;
  int RowCount = 0;
  int ColumnCount = 0;
  TColumnBlock Block;
  std::string Path;
  std::string Filter;
};

TExcelApplication::TExcelApplication(const TOfficeOptions &options)
    : impl_(std::make_unique<TImpl>(options)), workBooks_(*this) {}

TExcelApplication::~TExcelApplication() {
  try {
    Quit();
  } catch (const Exception &) {
    // Quit ends the instance whatever the workbook said; nothing is left to do.
  }
}

void TWorkBooks::Open(const std::string &path) {
  auto &impl = *application_.impl_;
  const std::string what = "Не удалось открыть файл \"" + path + "\"";
  if (impl.Document.is())
    throw Exception(what + ": рабочая книга уже открыта");
  const Reference<css::lang::XComponent> document = impl.Office.Load(path);
  std::string filter;
  Reference<css::sheet::XSpreadsheet> sheet;
  int rowCount = 0, columnCount = 0;
  try {
    impl.Office.Call(what, [&] {
      filter = FilterOf(document);
      const Reference<css::sheet::XSpreadsheetDocument> workbook(document, UNO_QUERY);
      if (!workbook.is() || !IsWorkbookFilter(filter))
        throw Exception(what + ": это не рабочая книга .xls, .xlsx или .ods" +
                        (filter.empty() ? "" : " (прочитан как \"" + filter + "\")"));
      const Reference<css::container::XIndexAccess> sheets(workbook->getSheets(), UNO_QUERY_THROW);
      if (sheets->getCount() < 1)
        throw Exception(what + ": в рабочей книге нет листов");
      sheet.set(sheets->getByIndex(0), UNO_QUERY_THROW);
      const auto size =
          Reference<css::sheet::XCellRangeAddressable>(sheet, UNO_QUERY_THROW)->getRangeAddress();
      rowCount = size.EndRow + 1;
      columnCount = size.EndColumn + 1;
    });
  } catch (const Exception &) {
    // Never leave a refused document open in the instance.
    try {
      impl.Office.Call(what, [&] { CloseDocument(document); });
    } catch (const Exception &) {
    }
    throw;
  }
  impl.Document = document;
  impl.FirstSheet = sheet;
  impl.RowCount = rowCount;
  impl.ColumnCount = columnCount;
  impl.Block = {};
  impl.Path = path;
  impl.Filter = filter;
}

std::string TExcelCell::Value() const {
  auto &impl = *application_.impl_;
  const std::string what =
      "Ошибка чтения ячейки (" + std::to_string(row_) + ", " + std::to_string(column_) + ")";
  impl.CheckCell(what, row_, column_);
  auto &block = impl.Block;
  if (block.Column != column_ || row_ < block.FirstRow ||
      row_ >= block.FirstRow + static_cast<int>(block.Texts.size())) {
    // A search reads a column row after row: one call fetches the next rows of the column, where
    // a call per cell would cost about half a millisecond each.
    const int lastRow = std::min(impl.RowCount, row_ + TExcelApplication::TImpl::BlockRows - 1);
    block.Texts = impl.Office.Call(what, [&] {
      const auto data =
          Reference<css::sheet::XCellRangeData>(
              impl.FirstSheet->getCellRangeByPosition(column_ - 1, row_ - 1, column_ - 1, lastRow - 1),
              UNO_QUERY_THROW)
              ->getDataArray();
      std::vector<std::string> texts;
      for (const auto &row : data)
        texts.push_back(row.getLength() > 0 ? ValueText(row[0]) : std::string());
      return texts;
    });
    block.Column = column_;
    block.FirstRow = row_;
  }
  return block.Texts.at(static_cast<size_t>(row_ - block.FirstRow));
}

void TExcelCell::SetValue(const std::string &value) const {
  auto &impl = *application_.impl_;
  const std::string what =
      "Ошибка записи в ячейку (" + std::to_string(row_) + ", " + std::to_string(column_) + ")";
  impl.CheckCell(what, row_, column_);
  impl.Block = {};
  impl.Office.Call(what, [&] {
    const Reference<css::text::XTextRange> text(impl.FirstSheet->getCellByPosition(column_ - 1, row_ - 1),
                                                UNO_QUERY_THROW);
    text->setString(FromUtf8(value));
  });
}

int TExcelApplication::LastUsedRow() {
  const std::string what = "Ошибка чтения листа";
  const auto &sheet = impl_->Sheet(what);
  return impl_->Office.Call(what, [&] {
    const Reference<css::sheet::XSheetCellCursor> cursor = sheet->createCursor();
    Reference<css::sheet::XUsedAreaCursor>(cursor, UNO_QUERY_THROW)->gotoEndOfUsedArea(false);
    return static_cast<int>(
        Reference<css::sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)->getRangeAddress().EndRow + 1);
  });
}

void TExcelApplication::Save() {
  auto &impl = *impl_;
  const std::string what = "Не удалось сохранить файл \"" + impl.Path + "\"";
  impl.Sheet(what);
  // Checked again here: whatever happens, a non-workbook is never written over the file.
  if (!IsWorkbookFilter(impl.Filter))
    throw Exception(what + ": это не рабочая книга");
  impl.Office.Call(what, impl.Office.Options().LoadTimeout,
                   [&] { Reference<css::frame::XStorable>(impl.Document, UNO_QUERY_THROW)->store(); });
}

void TExcelApplication::Quit() {
  auto &impl = *impl_;
  if (impl.Document.is() && impl.Office.Alive()) {
    try {
      impl.Office.Call("Ошибка закрытия рабочей книги", [&] { CloseDocument(impl.Document); });
    } catch (const Exception &) {
      // The instance ends below all the same.
    }
  }
  impl.FirstSheet.clear();
  impl.Document.clear();
  impl.Office.End();
}

bool TExcelApplication::Running() const { return impl_->Office.Alive(); }

pid_t TExcelApplication::ProcessGroup() const { return impl_->Office.ProcessGroup(); }

std::string TExcelApplication::Profile() const { return impl_->Office.Profile().string(); }
