#pragma once
// Workbooks for the report tests, made and read back through an office instance of the test's
// own, so no test depends on a file it did not make.
#include "platform/office/FileUrl.h"
#include "platform/office/OfficeInstance.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

// A cell as the test writes it: text, or a number (stored as a number cell).
using TCellContent = std::variant<std::string, double>;

struct TSheetContent {
  std::string Name;
  // Rows from row 1, cells from column 1; an empty text is an empty cell.
  std::vector<std::vector<TCellContent>> Rows;
  bool operator==(const TSheetContent &) const = default;
};

using TWorkbookContent = std::vector<TSheetContent>;

// A sheet as a failed comparison shows it: its name, then one line of cells per row.
inline void PrintTo(const TSheetContent &sheet, std::ostream *out) {
  *out << "\n  sheet \"" << sheet.Name << "\"";
  for (const auto &row : sheet.Rows) {
    *out << "\n   ";
    for (const auto &cell : row) {
      if (const auto *text = std::get_if<std::string>(&cell))
        *out << " \"" << *text << "\"";
      else
        *out << ' ' << std::get<double>(cell);
    }
  }
}

class TOfficeWorkbooks {
public:
  // Writes a workbook with these sheets in the format of filter ("MS Excel 97",
  // "Calc MS Excel 2007 XML", "calc8").
  void Make(const std::filesystem::path &path, const TWorkbookContent &content,
            const char *filter = "MS Excel 97") {
    using namespace css;
    office_.Call("make workbook", office_.Options().LoadTimeout, [&] {
      uno::Reference<frame::XComponentLoader> loader(office_.Desktop(), uno::UNO_QUERY_THROW);
      const beans::PropertyValue hidden[] = {Prop("Hidden", uno::Any(true))};
      uno::Reference<lang::XComponent> document = loader->loadComponentFromURL(
          "private:factory/scalc", "_blank", 0, uno::Sequence<beans::PropertyValue>(hidden, 1));
      uno::Reference<sheet::XSpreadsheetDocument> workbook(document, uno::UNO_QUERY_THROW);
      uno::Reference<container::XIndexAccess> sheets(workbook->getSheets(), uno::UNO_QUERY_THROW);
      for (size_t s = 0; s < content.size(); ++s) {
        if (static_cast<sal_Int32>(s) >= sheets->getCount())
          workbook->getSheets()->insertNewByName(FromUtf8(content[s].Name), static_cast<sal_Int16>(s));
        uno::Reference<sheet::XSpreadsheet> sheet(sheets->getByIndex(static_cast<sal_Int32>(s)),
                                                  uno::UNO_QUERY_THROW);
        uno::Reference<container::XNamed>(sheet, uno::UNO_QUERY_THROW)->setName(FromUtf8(content[s].Name));
        Fill(sheet, content[s].Rows);
      }
      const beans::PropertyValue store[] = {
          Prop("FilterName", uno::Any(rtl::OUString::createFromAscii(filter)))};
      uno::Reference<frame::XStorable>(document, uno::UNO_QUERY_THROW)
          ->storeToURL(FromUtf8(FileUrl(path)), uno::Sequence<beans::PropertyValue>(store, 1));
      uno::Reference<util::XCloseable>(document, uno::UNO_QUERY_THROW)->close(true);
    });
  }

  // Every sheet's name and used area from A1 (texts as texts, numbers as numbers).
  TWorkbookContent Read(const std::filesystem::path &path) {
    using namespace css;
    const uno::Reference<lang::XComponent> document = office_.Load(path.string());
    TWorkbookContent content;
    office_.Call("read workbook", [&] {
      uno::Reference<sheet::XSpreadsheetDocument> workbook(document, uno::UNO_QUERY_THROW);
      uno::Reference<container::XIndexAccess> sheets(workbook->getSheets(), uno::UNO_QUERY_THROW);
      for (sal_Int32 s = 0; s < sheets->getCount(); ++s) {
        uno::Reference<sheet::XSpreadsheet> sheet(sheets->getByIndex(s), uno::UNO_QUERY_THROW);
        TSheetContent sheetContent;
        sheetContent.Name = ToUtf8(uno::Reference<container::XNamed>(sheet, uno::UNO_QUERY_THROW)->getName());
        uno::Reference<sheet::XSheetCellCursor> cursor = sheet->createCursor();
        uno::Reference<sheet::XUsedAreaCursor>(cursor, uno::UNO_QUERY_THROW)->gotoEndOfUsedArea(false);
        const auto end =
            uno::Reference<sheet::XCellRangeAddressable>(cursor, uno::UNO_QUERY_THROW)->getRangeAddress();
        const auto data =
            uno::Reference<sheet::XCellRangeData>(
                sheet->getCellRangeByPosition(0, 0, end.EndColumn, end.EndRow), uno::UNO_QUERY_THROW)
                ->getDataArray();
        for (const auto &row : data) {
          std::vector<TCellContent> cells;
          for (const auto &cell : row) {
            rtl::OUString text;
            double number = 0;
            if (cell >>= text)
              cells.emplace_back(ToUtf8(text));
            else if (cell >>= number)
              cells.emplace_back(number);
            else
              cells.emplace_back(std::string());
          }
          sheetContent.Rows.push_back(std::move(cells));
        }
        content.push_back(std::move(sheetContent));
      }
      uno::Reference<util::XCloseable>(document, uno::UNO_QUERY_THROW)->close(true);
    });
    return content;
  }

  TOfficeInstance &Office() { return office_; }

private:
  static css::beans::PropertyValue Prop(const char *name, const css::uno::Any &value) {
    css::beans::PropertyValue p;
    p.Name = rtl::OUString::createFromAscii(name);
    p.Value = value;
    return p;
  }

  static void Fill(const css::uno::Reference<css::sheet::XSpreadsheet> &sheet,
                   const std::vector<std::vector<TCellContent>> &rows) {
    using namespace css;
    size_t width = 0;
    for (const auto &row : rows)
      width = std::max(width, row.size());
    if (rows.empty() || width == 0)
      return;
    uno::Sequence<uno::Sequence<uno::Any>> data(static_cast<sal_Int32>(rows.size()));
    for (size_t r = 0; r < rows.size(); ++r) {
      uno::Sequence<uno::Any> line(static_cast<sal_Int32>(width));
      for (size_t c = 0; c < width; ++c) {
        uno::Any &cell = line[static_cast<sal_Int32>(c)];
        if (c >= rows[r].size())
          cell <<= rtl::OUString();
        else if (const auto *text = std::get_if<std::string>(&rows[r][c]))
          cell <<= FromUtf8(*text);
        else
          cell <<= std::get<double>(rows[r][c]);
      }
      data[static_cast<sal_Int32>(r)] = line;
    }
    uno::Reference<sheet::XCellRangeData>(
        sheet->getCellRangeByPosition(0, 0, static_cast<sal_Int32>(width - 1),
                                      static_cast<sal_Int32>(rows.size() - 1)),
        uno::UNO_QUERY_THROW)
        ->setDataArray(data);
  }

  TOfficeInstance office_;
};
