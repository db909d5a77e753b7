#pragma once
// Sequential text files as the tool's routines use them: assign a path, open it for reading or
// for writing, go through it line by line, close it. Every failure raises EInOutError carrying
// the operating system's error number (or one of the runtime's own codes below).
//
// Writing never touches the old file until Close: the text goes to a temporary file beside it,
// which Close renames over the old one, so a failed or abandoned write leaves the old file as
// it was. Lines are written with CR LF; reading takes CR LF, LF and CR alike.
#include "os/FileReplace.h"

#include <cstdint>
#include <string>
#include <string_view>

// The runtime's own input/output error codes, for failures the operating system does not report.
constexpr int ioFileNotAssigned = 102;
constexpr int ioFileNotOpen = 103;
constexpr int ioNotOpenForInput = 104;
constexpr int ioNotOpenForOutput = 105;
constexpr int ioInvalidNumericInput = 106;

class TextFile {
public:
  TextFile() = default;
  explicit TextFile(std::string path) : path_(std::move(path)) {}
  // An open output file that was never closed is abandoned: its temporary file goes, the old
  // file stays.
  ~TextFile();
  TextFile(const TextFile &) = delete;
  TextFile &operator=(const TextFile &) = delete;

  // Names the file; an open file is abandoned first.
  void Assign(std::string path);
  const std::string &Path() const { return path_; }
  bool IsOpen() const { return mode_ != Mode::Closed; }

  // Opens an empty file for writing. Missing folders on the way are made, so the first write
  // into a fresh stand-in directory creates it. An existing file that may not be written (no
  // write permission bit at all, or none for us) is refused with EACCES and keeps its bytes;
  // something other than a regular file in its place (a FIFO, a device, a link to one) is
  // refused with EINVAL and left as it is.
  void Rewrite();
  // Opens the existing file for writing after its present contents (a missing file is an error).
  void Append();
  // Opens the existing file for reading from its start.
  void Reset();

  // Writes the bytes as they are.
  void Write(std::string_view text);
  // Writes the bytes followed by CR LF.
  void WriteLn(std::string_view text = {});

  // The rest of the current line, its line end consumed; "" at the end of the file.
  std::string ReadLn();
  // Every byte from here to the end of the file.
  std::string ReadToEnd();
  // Reads one whole number: skips blanks, tabs and line ends (every byte below 33); at the end
  // of the file the number is 0; otherwise the token up to the next byte below 33 must be an
  // integer as StrToInt takes it (ioInvalidNumericInput if not). The rest of the line stays
  // for ReadLn.
  int32_t ReadInteger();
  bool Eof();

  // Reading: releases the file. Writing: makes the new contents durable and puts them in place
  // of the old file.
  void Close();

private:
  enum class Mode { Closed, Input, Output };

  [[noreturn]] void Fail(const char *what, int errorCode) const;
  void RequireInput() const;
  void RequireOutput() const;
  void OpenOutput(bool keepContents);
  void CheckMayReplace(const std::string &target) const;
  void MakeFolderOf(const std::string &target) const;
  void CopyOldContents();
  void Flush();
  void Abandon() noexcept;
  int Peek();
  bool Fill();

  std::string path_;
  Mode mode_ = Mode::Closed;
  int fd_ = -1;               // input only
  TFileReplacement output_; // the new file that Close puts in place of the old one
  std::string buffer_;   // pending output, or input read ahead
  size_t position_ = 0;  // input: next byte of buffer_
  bool endOfInput_ = false;
};
