#pragma once
// kstune-journal --export: the visits list written with no window, for a weekly job.
#include "viewer/JournalSource.h"
#include "viewer/ViewerOptions.h"

namespace viewer {

// 0 when the file was written (the count said on stdout), 1 when the journal could not be read
// or the file not written (one line on stderr saying why).
int RunExport(const ExportRequest &request, const JournalSource &source);

} // namespace viewer
