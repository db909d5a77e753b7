#pragma once
// The snapshot of the last write the station acknowledged in full: <stand-in dir>/Opros.txt,
// 34 lines of "0".."255" ended by CR LF, parameter 1 first.
#include <string>
#include <string_view>

class TParamValues;

// Built anew on every use, so a changed XDG_CONFIG_HOME counts.
std::string SnapshotPath();

// Replaces the file as a whole (through a temporary file), creating the directory on the way;
// on any failure EInOutError names the file and the old file keeps its bytes.
void WriteSnapshot(const std::string &path, const TParamValues &values);

// Reads the 34 values from the file's bytes into values, storing each as it is read. For each:
// blanks, tabs and line ends skipped; at the end of the bytes 0; otherwise a token of at most
// 32 characters up to the next byte below 33, converted as a signed integer, its low eight bits
// stored; then the rest of the line skipped. A token that is not an integer raises EInOutError
// (ioInvalidNumericInput) naming fileName; the values before it stay stored.
void ParseSnapshot(std::string_view bytes, TParamValues &values, const std::string &fileName);

// Opens, reads and parses the file (missing file: EInOutError with ENOENT).
void ReadSnapshot(const std::string &path, TParamValues &values);
