#pragma once
// The way to the spreadsheet application: the office bridge is a module of our own, loaded at
// the first use, so the program itself needs no office library to start or to work.
#include "platform/office/ExcelApplication.h"
#include "platform/office/OfficeOptions.h"

#include <filesystem>
#include <memory>

// The office is not installed (or incompletely): the text says what is missing and how to
// install it.
class EOfficeMissing : public Exception {
public:
  using Exception::Exception;
};

// Loads the bridge if it is not loaded yet and starts a new hidden instance. Throws
// EOfficeMissing without the office, Exception for every other failure.
std::unique_ptr<TExcelApplication> NewExcelApplication(const TOfficeOptions &options = {});

// The name of the bridge's one entry point.
inline constexpr const char *OfficeBridgeEntry = "KstuneNewExcelApplication";
using TOfficeBridgeEntry = TExcelApplication *(*)(const TOfficeOptions &options);

// Loads the bridge module at path and finds its entry point. A library it needs that is missing
// (the office's own) is EOfficeMissing; any other failure is an Exception with the loader's
// reason.
TOfficeBridgeEntry LoadBridgeModule(const std::filesystem::path &module);
