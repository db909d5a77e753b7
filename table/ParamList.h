#pragma once
// The 34 tuning values, described once: what each is called, where the window shows it and
// where the station keeps it. Everything that needs a parameter's name, field, grid cell or
// device address reads this table; it depends on nothing, so the journal viewer reads it too.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace params {

constexpr int ParamCount = 34;

// The audio-level grid: column 0 and row 0 are headers, cells (1..2, 1..6) hold values.
constexpr int GridColumns = 3;
constexpr int GridRows = 7;
constexpr int GridValueColumns = GridColumns - 1;
constexpr int GridValueRows = GridRows - 1;

struct ParamInfo {
  int number;             // 1..34: index into ParamValues and position in every bulk transfer
  std::string_view key;   // preset key and label text; empty for the five hidden values
  std::string_view field; // control showing it (Edit1..Edit19); empty for grid cells and hidden
  int column;             // grid cell column 1..2, 0 when not in the grid
  int row;                // grid cell row 1..6, 0 when not in the grid
  uint8_t address;        // device address sent ahead of the value
  int designValue;        // the field's text in the layout, -1 where there is none
  int presetOrder;        // 1..29: when the model's presets read its key; 0 for the hidden ones
  int fixedValue;         // what CollectValues stores before it reads the fields, -1 for none
};

constexpr std::array<ParamInfo, ParamCount> Params{{
    {1, "UNCH_ON140_146", "", 1, 1, 0x1B, -1, 18, -1},
    {2, "UNCH_ON146_148", "", 1, 2, 0x1C, -1, 19, -1},
    {3, "UNCH_ON148_154", "", 1, 3, 0x1D, -1, 20, -1},
    {4, "UNCH_ON154_162", "", 1, 4, 0x1E, -1, 21, -1},
    {5, "UNCH_ON162_170", "", 1, 5, 0x1F, -1, 22, -1},
    {6, "UNCH_ON170_174", "", 1, 6, 0x20, -1, 23, -1},
    {7, "UNCH_OFF140_146", "", 2, 1, 0x21, -1, 24, -1},
    {8, "UNCH_OFF146_148", "", 2, 2, 0x22, -1, 25, -1},
    {9, "UNCH_OFF148_154", "", 2, 3, 0x23, -1, 26, -1},
    {10, "UNCH_OFF154_162", "", 2, 4, 0x24, -1, 27, -1},
    {11, "UNCH_OFF162_170", "", 2, 5, 0x25, -1, 28, -1},
    {12, "UNCH_OFF170_174", "", 2, 6, 0x26, -1, 29, -1},
    {13, "", "", 0, 0, 0x3D, 0, 0, 0},
    {14, "", "", 0, 0, 0x3E, 0, 0, 0},
    {15, "", "", 0, 0, 0x3F, 0, 0, 0},
    {16, "", "", 0, 0, 0x40, 0, 0, 0},
    {17, "", "", 0, 0, 0x41, 0, 0, 0},
    {18, "DEV", "Edit19", 0, 0, 0x42, 83, 9, 83},
    {19, "CORF", "Edit1", 0, 0, 0x43, 120, 1, -1},
    {20, "AF1", "Edit2", 0, 0, 0x44, 120, 2, -1},
    {21, "MOD2", "Edit3", 0, 0, 0x45, 200, 3, -1},
    {22, "D_ON", "Edit4", 0, 0, 0x46, 188, 4, -1},
    {23, "D_OFF", "Edit5", 0, 0, 0x47, 193, 5, -1},
    {24, "TUNE", "Edit6", 0, 0, 0x4B, 55, 6, -1},
    {25, "POW_5", "Edit9", 0, 0, 0x4C, 25, 10, -1},
    {26, "P1_5", "Edit10", 0, 0, 0x4D, 155, 11, -1},
    {27, "POW_10", "Edit11", 0, 0, 0x4E, 44, 12, -1},
    {28, "P1_10", "Edit12", 0, 0, 0x4F, 171, 13, -1},
    {29, "POW_25", "Edit13", 0, 0, 0x50, 87, 14, -1},
    {30, "P1_25", "Edit14", 0, 0, 0x51, 203, 15, -1},
    {31, "POW_40", "Edit15", 0, 0, 0x52, 121, 16, -1},
    {32, "P1_40", "Edit16", 0, 0, 0x53, 244, 17, -1},
    {33, "G_ON", "Edit17", 0, 0, 0x54, 65, 7, -1},
    {34, "G_OFF", "Edit18", 0, 0, 0x55, 55, 8, -1},
}};

// Row headings of the grid, rows 1..6 (MHz bands).
constexpr std::array<std::string_view, GridValueRows> GridBands{
    "140-146", "146-148", "148-154", "154-162", "162-170", "170-174"};
// Column headings, columns 1..2 (audio amplifier on, off), and the corner cell above the bands.
constexpr std::array<std::string_view, GridValueColumns> GridColumnHeadings{"УНЧ Вкл.", "УНЧ Выкл."};
constexpr std::string_view GridCorner = "    МГц";

constexpr int PresetCount = 29;

// The entry for a parameter number, nullopt outside 1..34.
constexpr std::optional<ParamInfo> ParamByNumber(int number) {
  if (number < 1 || number > ParamCount)
    return std::nullopt;
  return Params[static_cast<size_t>(number - 1)];
}

// The parameter a grid cell shows, 0 for the headers and outside the grid.
constexpr int ParamOfCell(int column, int row) {
  for (const ParamInfo &p : Params)
    if (p.column != 0 && p.column == column && p.row == row)
      return p.number;
  return 0;
}

// The cell of a parameter shown in the grid; false (and nothing set) for any other number.
constexpr bool CellOfParam(int number, int &column, int &row) {
  const auto p = ParamByNumber(number);
  if (!p || p->column == 0)
    return false;
  column = p->column;
  row = p->row;
  return true;
}

// The parameter whose preset key is read at this position (1..29), 0 for none.
constexpr int ParamOfPresetOrder(int order) {
  for (const ParamInfo &p : Params)
    if (order >= 1 && p.presetOrder == order)
      return p.number;
  return 0;
}

namespace detail {

constexpr bool NumbersRunInOrder() {
  for (int i = 0; i < ParamCount; ++i)
    if (Params[static_cast<size_t>(i)].number != i + 1)
      return false;
  return true;
}

// Every value cell shows exactly one parameter, and only grid parameters stand in the grid.
constexpr bool GridCellsAreEachShownOnce() {
  for (int column = 1; column <= GridValueColumns; ++column)
    for (int row = 1; row <= GridValueRows; ++row) {
      int shown = 0;
      for (const ParamInfo &p : Params)
        shown += p.column == column && p.row == row;
      if (shown != 1)
        return false;
    }
  for (const ParamInfo &p : Params)
    if ((p.column == 0) != (p.row == 0) || p.column > GridValueColumns || p.row > GridValueRows ||
        (p.column != 0 && !p.field.empty()))
      return false;
  return true;
}

// In number order the grid's values run column by column, each top to bottom, which is the order
// in which the window's cells are read.
constexpr bool GridCellsRunColumnByColumn() {
  int lastColumn = 0, lastRow = 0;
  for (const ParamInfo &p : Params) {
    if (p.column == 0)
      continue;
    if (p.column < lastColumn || (p.column == lastColumn && p.row <= lastRow))
      return false;
    lastColumn = p.column;
    lastRow = p.row;
  }
  return true;
}

// The presets fill every field and cell once, and nothing else.
constexpr bool PresetsFillEveryShownValueOnce() {
  for (int order = 1; order <= PresetCount; ++order) {
    int found = 0;
    for (const ParamInfo &p : Params)
      found += p.presetOrder == order;
    if (found != 1)
      return false;
  }
  for (const ParamInfo &p : Params)
    if ((p.presetOrder != 0) != (p.column != 0 || !p.field.empty()) || (p.presetOrder != 0) == p.key.empty())
      return false;
  return true;
}

} // namespace detail

static_assert(detail::NumbersRunInOrder(), "Params is indexed by parameter number - 1");
static_assert(detail::GridCellsAreEachShownOnce(), "each grid value cell shows one parameter");
static_assert(detail::GridCellsRunColumnByColumn(), "grid values are numbered column by column");
static_assert(detail::PresetsFillEveryShownValueOnce(), "each shown parameter has one preset position");

} // namespace params
