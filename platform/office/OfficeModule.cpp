// The entry point of the office bridge module, found by name when the module is loaded.
#include "platform/office/OfficeBridge.h"
#include "platform/office/UnoExcelApplication.h"

extern "C" __attribute__((visibility("default"))) TExcelApplication *
KstuneNewExcelApplication(const TOfficeOptions &options) {
  return new TUnoExcelApplication(options);
}

// The entry point has the type the loader expects.
static_assert(std::is_same_v<decltype(&KstuneNewExcelApplication), TOfficeBridgeEntry>);
