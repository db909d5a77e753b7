#pragma once
// The sheet an .xls workbook opens at, read from the file itself: a hidden office instance keeps
// no view of an .xls and so always reports its first sheet as the active one.
#include <filesystem>

// The index (from 0) of the sheet that was active when the workbook was saved; -1 when the
// file is no readable .xls.
int XlsActiveSheet(const std::filesystem::path &path);
