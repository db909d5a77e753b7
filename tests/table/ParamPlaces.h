#pragma once
// The tuning values written out by hand, row by row: which control shows each,
// under which label and preset key, its design value, and the device address it is sent to.
// The tests compare the program against these rows, never against its own table.
#include <cstdint>

struct Place {
  const char *control; // a field's name, or "c,r" for a grid cell
  const char *label;
  int number;
  const char *key;
  uint8_t address;
  int design; // the field's text in the layout; -1 for grid cells, which have none
};

inline constexpr Place Places[] = {
    {"1,1", nullptr, 1, "UNCH_ON140_146", 27, -1},   {"1,2", nullptr, 2, "UNCH_ON146_148", 28, -1},
    {"1,3", nullptr, 3, "UNCH_ON148_154", 29, -1},   {"1,4", nullptr, 4, "UNCH_ON154_162", 30, -1},
    {"1,5", nullptr, 5, "UNCH_ON162_170", 31, -1},   {"1,6", nullptr, 6, "UNCH_ON170_174", 32, -1},
    {"2,1", nullptr, 7, "UNCH_OFF140_146", 33, -1},  {"2,2", nullptr, 8, "UNCH_OFF146_148", 34, -1},
    {"2,3", nullptr, 9, "UNCH_OFF148_154", 35, -1},  {"2,4", nullptr, 10, "UNCH_OFF154_162", 36, -1},
    {"2,5", nullptr, 11, "UNCH_OFF162_170", 37, -1}, {"2,6", nullptr, 12, "UNCH_OFF170_174", 38, -1},
    {"Edit19", "Label10", 18, "DEV", 66, 83},        {"Edit1", "Label1", 19, "CORF", 67, 120},
    {"Edit2", "Label2", 20, "AF1", 68, 120},         {"Edit3", "Label3", 21, "MOD2", 69, 200},
    {"Edit4", "Label5", 22, "D_ON", 70, 188},        {"Edit5", "Label6", 23, "D_OFF", 71, 193},
    {"Edit6", "Label7", 24, "TUNE", 75, 55},         {"Edit9", "Label8", 25, "POW_5", 76, 25},
    {"Edit10", "Label9", 26, "P1_5", 77, 155},       {"Edit11", "Label12", 27, "POW_10", 78, 44},
    {"Edit12", "Label13", 28, "P1_10", 79, 171},     {"Edit13", "Label16", 29, "POW_25", 80, 87},
    {"Edit14", "Label17", 30, "P1_25", 81, 203},     {"Edit15", "Label14", 31, "POW_40", 82, 121},
    {"Edit16", "Label15", 32, "P1_40", 83, 244},     {"Edit17", "Label18", 33, "G_ON", 84, 65},
    {"Edit18", "Label19", 34, "G_OFF", 85, 55},
};

// The five values shown nowhere: their addresses, numbers 13..17 in turn. Every collection
// stores 0 into them.
inline constexpr uint8_t HiddenAddresses[] = {61, 62, 63, 64, 65};

// The preset keys in the order the model's presets read them.
// clang-format off
inline constexpr const char *PresetKeysInReadOrder[] = {
    "CORF",  "AF1",    "MOD2",  "D_ON",   "D_OFF", "TUNE",   "G_ON",  "G_OFF",  "DEV",   "POW_5",
    "P1_5",  "POW_10", "P1_10", "POW_25", "P1_25", "POW_40", "P1_40", "UNCH_ON140_146", "UNCH_ON146_148",
    "UNCH_ON148_154", "UNCH_ON154_162", "UNCH_ON162_170", "UNCH_ON170_174", "UNCH_OFF140_146",
    "UNCH_OFF146_148", "UNCH_OFF148_154", "UNCH_OFF154_162", "UNCH_OFF162_170", "UNCH_OFF170_174"};
// clang-format on
