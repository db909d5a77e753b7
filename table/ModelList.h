#pragma once
// The model list: the index a station stores for its model, the list entry that shows it and the
// model code whose presets it takes. Entries 1 and 2 share a code and differ only in the index
// stored in the station; entry 5 is the empty one and names no model. For the window and for any
// program that reads a stored index back (the journal viewer).
#include <string_view>

namespace params {

struct ModelEntry {
  int index;
  std::string_view text; // the list entry
  std::string_view code; // ModelCode, the preset section
};

inline constexpr ModelEntry ModelEntries[] = {
    {0, "KS - 41", "KS41"},
    {1, "KS - 43  11150кГц", "KS43"},
    {2, "KS - 43  10250кГц", "KS43"},
    {3, "KS - 45", "KS45"},
    {4, "KS - 47", "KS47"},
};

// The entry of a stored index; nullptr for the empty entry and for indexes the list does not have.
constexpr const ModelEntry *ModelEntryOf(int index) {
  for (const ModelEntry &entry : ModelEntries)
    if (entry.index == index)
      return &entry;
  return nullptr;
}

} // namespace params
