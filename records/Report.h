#pragma once
// The station's report workbook ("...", "Запись" of the report panel) and the number series
// ("Обновить").
class TForm1;

// "...": chooses the report file and opens it in a new spreadsheet application instance, which
// replaces (and ends) any earlier one; enables "Запись". A report that cannot take the record
// (read-only, or held by someone else) is refused with a message, as is the office's absence.
void OpenReport(TForm1 &form);
// "Запись": writes the two record lines below the "Конец теста" row of the file as it is now
// (loaded again if another program saved it since "..."), stores the workbook and ends the
// instance; "Запись" then waits for the next "...".
void WriteReport(TForm1 &form);
// "Обновить": takes the 102-digit number series into ParamValues and shows it.
void ApplyNumberSeries(TForm1 &form);
