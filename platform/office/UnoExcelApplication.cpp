#include "platform/office/UnoExcelApplication.h"

#include "platform/office/DocumentLock.h"
#include "platform/office/FileUrl.h"
#include "platform/office/StoreFiles.h"
#include "platform/office/XlsActiveSheet.h"
#include "os/FileIdentity.h"
#include "os/FileReplace.h"
#include "os/OsErrorReason.h"

#include "platform/office/OfficeInstance.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>
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

// The sheet that was active when the workbook was saved (the one it opens at); the first
// sheet when the file keeps no view. The office shows it for .xlsx and .ods; of an .xls it
// keeps no view, so there the file itself says.
Reference<css::sheet::XSpreadsheet> ActiveSheet(const Reference<css::lang::XComponent> &document,
                                                const Reference<css::container::XIndexAccess> &sheets,
                                                const std::string &filter, const std::string &path) {
  if (filter.rfind("MS Excel 97", 0) == 0) {
    const int active = XlsActiveSheet(path);
    if (active >= 0 && active < sheets->getCount())
      return Reference<css::sheet::XSpreadsheet>(sheets->getByIndex(active), UNO_QUERY_THROW);
  }
  const Reference<css::frame::XModel> model(document, UNO_QUERY);
  if (model.is()) {
    const Reference<css::sheet::XSpreadsheetView> view(model->getCurrentController(), UNO_QUERY);
    if (view.is()) {
      Reference<css::sheet::XSpreadsheet> sheet = view->getActiveSheet();
      if (sheet.is())
        return sheet;
    }
  }
  return Reference<css::sheet::XSpreadsheet>(sheets->getByIndex(0), UNO_QUERY_THROW);
}

// The file's bytes: the version of the report that was loaded, to be told from the next one
// even when their sizes and times agree.
std::string FileContents(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A version of the report on disk: its identity, and its bytes for what the identity misses (a
// save of equal size within one tick of the file times, which last seconds on network shares).
struct TFileVersion {
  TFileIdentity Identity;
  std::string Contents;
  bool operator==(const TFileVersion &other) const {
    return Identity.SameWrite(other.Identity) && Contents == other.Contents;
  }
};

TFileVersion VersionOf(const std::string &path) {
  TFileVersion version;
  version.Identity = FileIdentityOf(path);
  version.Contents = FileContents(path);
  return version;
}

} // namespace

struct TUnoExcelApplication::TImpl {
  explicit TImpl(const TOfficeOptions &options) : Office(options) {}

  // The workbook's active worksheet, or an Exception when no workbook is open.
  const Reference<css::sheet::XSpreadsheet> &Sheet(const std::string &what) const {
    if (!Document.is())
      throw Exception(what + ": рабочая книга не открыта");
    return ActiveSheet;
  }

  void CheckCell(const std::string &what, int row, int column) const {
    Sheet(what);
    if (row < 1 || column < 1)
      throw Exception(what + ": строки и столбцы считаются от 1");
    if (row > RowCount || column > ColumnCount)
      throw Exception(what + ": за пределами листа (" + std::to_string(RowCount) + " строк, " +
                      std::to_string(ColumnCount) + " столбцов)");
  }

  // Loads path and takes it as the workbook; a refused document is closed again.
  void Load(const std::string &path) {
    const std::string what = "Не удалось открыть файл \"" + path + "\"";
    // Someone else's lock makes the office open the file read-only; a lock an instance of ours
    // left when its program died would make it refuse the file: taken over.
    if (const auto lock = HeldDocumentLock(path))
      throw Exception(what + ": файл открыт для правки: " + LockHolder(*lock));
    // Taken before the load, so that a save by someone else during the load counts as a change.
    TFileVersion version = VersionOf(path);
    const Reference<css::lang::XComponent> document = Office.Load(path);
    std::string filter;
    Reference<css::sheet::XSpreadsheet> sheet;
    int rowCount = 0, columnCount = 0;
    try {
      Office.Call(what, [&] {
        filter = FilterOf(document);
        const Reference<css::sheet::XSpreadsheetDocument> workbook(document, UNO_QUERY);
        if (!workbook.is() || !IsWorkbookFilter(filter))
          throw Exception(what + ": это не рабочая книга .xls, .xlsx или .ods" +
                          (filter.empty() ? "" : " (прочитан как \"" + filter + "\")"));
        // The office opens a file read-only when it cannot write it or someone else holds it;
        // the record would then be lost at the store.
        if (Reference<css::frame::XStorable>(document, UNO_QUERY_THROW)->isReadonly())
          throw Exception(what + ": файл открылся только для чтения, записать в него нельзя");
        const Reference<css::container::XIndexAccess> sheets(workbook->getSheets(), UNO_QUERY_THROW);
        if (sheets->getCount() < 1)
          throw Exception(what + ": в рабочей книге нет листов");
        sheet = ::ActiveSheet(document, sheets, filter, path);
        const auto size =
            Reference<css::sheet::XCellRangeAddressable>(sheet, UNO_QUERY_THROW)->getRangeAddress();
        rowCount = size.EndRow + 1;
        columnCount = size.EndColumn + 1;
      });
    } catch (const Exception &) {
      try {
        Office.Call(what, [&] { CloseDocument(document); });
      } catch (const Exception &) {
      }
      throw;
    }
    Document = document;
    ActiveSheet = sheet;
    RowCount = rowCount;
    ColumnCount = columnCount;
    Block = {};
    Path = path;
    Filter = filter;
    Loaded = std::move(version);
  }

  void Close() {
    if (Document.is() && Office.Alive()) {
      try {
        Office.Call("Ошибка закрытия рабочей книги", [&] { CloseDocument(Document); });
      } catch (const Exception &) {
        // The instance ends (or the document is loaded again) all the same.
      }
    }
    ActiveSheet.clear();
    Document.clear();
    Block = {};
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
  Reference<css::sheet::XSpreadsheet> ActiveSheet;
  int RowCount = 0;
  int ColumnCount = 0;
  TColumnBlock Block;
  std::string Path;
  std::string Filter;
  TFileVersion Loaded;
};

TUnoExcelApplication::TUnoExcelApplication(const TOfficeOptions &options)
    : impl_(std::make_unique<TImpl>(options)) {}

TUnoExcelApplication::~TUnoExcelApplication() {
  try {
    Quit();
  } catch (const Exception &) {
    // Quit ends the instance whatever the workbook said; nothing is left to do.
  }
}

void TUnoExcelApplication::OpenWorkbook(const std::string &path) {
  if (impl_->Document.is())
    throw Exception("Не удалось открыть файл \"" + path + "\": рабочая книга уже открыта");
  impl_->Load(path);
}

std::string TUnoExcelApplication::CellValue(int row, int column) {
  auto &impl = *impl_;
  const std::string what =
      "Ошибка чтения ячейки (" + std::to_string(row) + ", " + std::to_string(column) + ")";
  impl.CheckCell(what, row, column);
  auto &block = impl.Block;
  if (block.Column != column || row < block.FirstRow ||
      row >= block.FirstRow + static_cast<int>(block.Texts.size())) {
    // A search reads a column row after row: one call fetches the next rows of the column, where
    // a call per cell would cost about half a millisecond each.
    const int lastRow = std::min(impl.RowCount, row + TImpl::BlockRows - 1);
    block.Texts = impl.Office.Call(what, [&] {
      const auto data =
          Reference<css::sheet::XCellRangeData>(
              impl.ActiveSheet->getCellRangeByPosition(column - 1, row - 1, column - 1, lastRow - 1),
              UNO_QUERY_THROW)
              ->getDataArray();
      std::vector<std::string> texts;
      for (const auto &line : data)
        texts.push_back(line.getLength() > 0 ? ValueText(line[0]) : std::string());
      return texts;
    });
    block.Column = column;
    block.FirstRow = row;
  }
  return block.Texts.at(static_cast<size_t>(row - block.FirstRow));
}

void TUnoExcelApplication::SetCellValue(int row, int column, const std::string &value) {
  auto &impl = *impl_;
  const std::string what =
      "Ошибка записи в ячейку (" + std::to_string(row) + ", " + std::to_string(column) + ")";
  impl.CheckCell(what, row, column);
  impl.Block = {};
  impl.Office.Call(what, [&] {
    const Reference<css::text::XTextRange> text(impl.ActiveSheet->getCellByPosition(column - 1, row - 1),
                                                UNO_QUERY_THROW);
    text->setString(FromUtf8(value));
  });
}

int TUnoExcelApplication::LastUsedRow() {
  const std::string what = "Ошибка чтения листа";
  const auto &sheet = impl_->Sheet(what);
  return impl_->Office.Call(what, [&] {
    const Reference<css::sheet::XSheetCellCursor> cursor = sheet->createCursor();
    Reference<css::sheet::XUsedAreaCursor>(cursor, UNO_QUERY_THROW)->gotoEndOfUsedArea(false);
    return static_cast<int>(
        Reference<css::sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)->getRangeAddress().EndRow + 1);
  });
}

bool TUnoExcelApplication::FileChanged() {
  return impl_->Document.is() && !(VersionOf(impl_->Path) == impl_->Loaded);
}

void TUnoExcelApplication::Reload() {
  auto &impl = *impl_;
  impl.Sheet("Не удалось открыть файл снова");
  const std::string path = impl.Path;
  impl.Close();
  impl.Load(path);
}

namespace {

// Puts the stored workbook in place of the report (where it really is, past symbolic links),
// keeping what the report was to everyone else; the file is looked at once more right before.
void ReplaceReport(const std::string &path, const TFileVersion &loaded, const std::filesystem::path &stored,
                   const std::string &what, const std::string &changed) {
  const std::string target = ReplacementTarget(path);
  const int in = open(stored.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0)
    throw Exception(what + ": " + OsErrorReason(errno));
  TFileReplacement replacement;
  int err = replacement.Begin(target, TKeep::Everything, StoreTemporaryName(target, getpid()));
  if (err == 0)
    err = replacement.CopyFrom(in);
  close(in);
  if (err == 0)
    err = replacement.Prepare();
  if (err != 0)
    throw Exception(what + ": " + OsErrorReason(err));
  if (!(VersionOf(path) == loaded)) {
    replacement.Abandon();
    throw EReportChanged(changed);
  }
  if (const int commitError = replacement.Commit(); commitError != 0) {
    // The report itself is whole again, or may not be: then the new workbook is kept beside it.
    const std::string kept = replacement.KeptPath();
    throw Exception(what + ": " + OsErrorReason(commitError) +
                    (kept.empty() ? std::string()
                                  : ". Файл мог остаться недописанным; новая книга сохранена рядом: \"" + kept + "\""));
  }
}

} // namespace

void TUnoExcelApplication::Save() {
  auto &impl = *impl_;
  const std::string what = "Не удалось сохранить файл \"" + impl.Path + "\"";
  impl.Sheet(what);
  // Checked again here: whatever happens, a non-workbook is never written over the file.
  if (!IsWorkbookFilter(impl.Filter))
    throw Exception(what + ": это не рабочая книга");
  const std::string changed = what + ": файл изменила другая программа после открытия";
  if (FileChanged())
    throw EReportChanged(changed);
  // The office stores into its own profile, so that whatever it leaves on a failure (its lock
  // of the new file among them) goes with the profile; the report's folder sees only our copy.
  const std::filesystem::path stored = impl.Office.Profile() / "store" / std::filesystem::path(impl.Path).filename();
  const auto removeStored = [&] {
    std::error_code ec;
    std::filesystem::remove(DocumentLockPath(stored), ec);
    std::filesystem::remove(stored, ec);
  };
  std::error_code ec;
  std::filesystem::create_directories(stored.parent_path(), ec);
  try {
    impl.Office.Call(what, impl.Office.Options().LoadTimeout, [&] {
      const css::beans::PropertyValue properties[] = {
          Property("FilterName", css::uno::Any(FromUtf8(impl.Filter))),
          Property("Overwrite", css::uno::Any(true)),
      };
      Reference<css::frame::XStorable>(impl.Document, UNO_QUERY_THROW)
          ->storeToURL(FromUtf8(FileUrl(stored)),
                       css::uno::Sequence<css::beans::PropertyValue>(properties, std::size(properties)));
    });
  } catch (...) {
    removeStored();
    throw;
  }
  try {
    ReplaceReport(impl.Path, impl.Loaded, stored, what, changed);
  } catch (...) {
    removeStored();
    throw;
  }
  removeStored();
  impl.Loaded = VersionOf(impl.Path);
}

void TUnoExcelApplication::Quit() {
  impl_->Close();
  impl_->Office.End();
}

bool TUnoExcelApplication::Running() const { return impl_->Office.Alive(); }

pid_t TUnoExcelApplication::ProcessGroup() const { return impl_->Office.ProcessGroup(); }

std::string TUnoExcelApplication::Profile() const { return impl_->Office.Profile().string(); }
