#pragma once
// Whether the chosen report can take the record at all, told at "..." before anything starts.
#include <string>

// Empty when the report may be opened for writing; otherwise the message for the technician
// (read-only file or folder, a sticky folder where only the report's owner may replace it, or
// the report held by someone else, named). A lock left by an instance of ours whose program
// died is removed, not reported, and so are the temporary files of stores of programs that
// are gone.
std::string ReportRefusal(const std::string &path);
