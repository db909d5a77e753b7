#include "runtime/TextFile.h"

#include "runtime/Exception.h"
#include "runtime/StrToInt.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr size_t kChunk = 64 * 1024;

std::string Reason(int errorCode) {
  if (errorCode >= ioFileNotAssigned && errorCode <= ioInvalidNumericInput) {
    static const char *const texts[] = {"file not assigned", "file not open", "file not open for input",
                                        "file not open for output", "invalid numeric input"};
    return texts[errorCode - ioFileNotAssigned];
  }
  return std::generic_category().message(errorCode);
}

} // namespace

TextFile::~TextFile() { Abandon(); }

void TextFile::Assign(std::string path) {
  Abandon();
  path_ = std::move(path);
}

void TextFile::Fail(const char *what, int errorCode) const {
  throw EInOutError(std::string(what) + " \"" + path_ + "\": " + Reason(errorCode), errorCode);
}

void TextFile::RequireInput() const {
  if (mode_ == Mode::Closed)
    Fail("Cannot read file", ioFileNotOpen);
  if (mode_ != Mode::Input)
    Fail("Cannot read file", ioNotOpenForInput);
}

void TextFile::RequireOutput() const {
  if (mode_ == Mode::Closed)
    Fail("Cannot write file", ioFileNotOpen);
  if (mode_ != Mode::Output)
    Fail("Cannot write file", ioNotOpenForOutput);
}

void TextFile::Abandon() noexcept {
  if (fd_ >= 0)
    ::close(fd_);
  output_.Abandon();
  fd_ = -1;
  mode_ = Mode::Closed;
  buffer_.clear();
  position_ = 0;
  endOfInput_ = false;
}

void TextFile::Rewrite() { OpenOutput(false); }

void TextFile::Append() { OpenOutput(true); }

void TextFile::OpenOutput(bool keepContents) {
  Abandon();
  if (path_.empty())
    Fail("Cannot write file", ioFileNotAssigned);
  const std::string target = ReplacementTarget(path_);
  CheckMayReplace(target);
  if (keepContents && ::access(target.c_str(), F_OK) != 0)
    Fail("Cannot open file", errno);
  MakeFolderOf(target);
  if (const int err = output_.Begin(target, TKeep::Mode); err != 0)
    Fail("Cannot write file", err);
  mode_ = Mode::Output;
  if (keepContents)
    CopyOldContents();
}

// A file the technician made read-only is refused, as the Windows services refuse it, even
// though the rename could replace it; root, to whom every file is writable, included.
void TextFile::CheckMayReplace(const std::string &target) const {
  struct stat old {};
  if (::stat(target.c_str(), &old) != 0)
    return;
  if (S_ISDIR(old.st_mode))
    Fail("Cannot write file", EISDIR);
  if (!S_ISREG(old.st_mode))
    throw EInOutError("Cannot write file \"" + path_ + "\": " +
                          (target == path_ ? std::string("it") : "\"" + target + "\"") + " is not a regular file",
                      EINVAL);
  if ((old.st_mode & 0222) == 0)
    Fail("Cannot write file", EACCES);
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
    Fail("Cannot write file", errno);
}

// The first write into a fresh stand-in directory creates it.
void TextFile::MakeFolderOf(const std::string &target) const {
  const std::filesystem::path folder = std::filesystem::path(target).parent_path();
  std::error_code ec;
  if (!folder.empty())
    std::filesystem::create_directories(folder, ec);
  if (ec)
    Fail("Cannot write file", ec.value());
}

void TextFile::CopyOldContents() {
  const int in = ::open(output_.Target().c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    const int err = errno;
    Abandon();
    Fail("Cannot open file", err);
  }
  const int err = output_.CopyFrom(in);
  ::close(in);
  if (err != 0) {
    Abandon();
    Fail("Cannot write file", err);
  }
}

void TextFile::Reset() {
  Abandon();
  if (path_.empty())
    Fail("Cannot open file", ioFileNotAssigned);
  // Non-blocking, so that a FIFO in the file's place cannot hang the program.
  fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0)
    Fail("Cannot open file", errno);
  struct stat st;
  int err = 0;
  if (::fstat(fd_, &st) != 0)
    err = errno;
  else if (S_ISDIR(st.st_mode))
    err = EISDIR;
  else if (!S_ISREG(st.st_mode))
    err = EINVAL;
  if (err != 0) {
    Abandon();
    Fail("Cannot open file", err);
  }
  mode_ = Mode::Input;
}

void TextFile::Write(std::string_view text) {
  RequireOutput();
  buffer_.append(text);
  if (buffer_.size() >= kChunk)
    Flush();
}

void TextFile::WriteLn(std::string_view text) {
  RequireOutput();
  buffer_.append(text);
  buffer_.append("\r\n");
  if (buffer_.size() >= kChunk)
    Flush();
}

void TextFile::Flush() {
  const int err = output_.Write(buffer_);
  buffer_.clear();
  if (err != 0) {
    Abandon();
    Fail("Cannot write file", err);
  }
}

bool TextFile::Fill() {
  if (endOfInput_)
    return false;
  buffer_.erase(0, position_);
  position_ = 0;
  const size_t kept = buffer_.size();
  buffer_.resize(kept + kChunk);
  ssize_t n;
  do
    n = ::read(fd_, buffer_.data() + kept, kChunk);
  while (n < 0 && errno == EINTR);
  const int err = errno;
  buffer_.resize(kept + (n > 0 ? static_cast<size_t>(n) : 0));
  if (n < 0)
    Fail("Cannot read file", err);
  endOfInput_ = n == 0;
  return n > 0;
}

int TextFile::Peek() {
  if (position_ >= buffer_.size() && !Fill())
    return -1;
  return static_cast<unsigned char>(buffer_[position_]);
}

bool TextFile::Eof() {
  RequireInput();
  return Peek() < 0;
}

std::string TextFile::ReadLn() {
  RequireInput();
  std::string line;
  for (int c = Peek(); c >= 0; c = Peek()) {
    ++position_;
    if (c == '\n')
      break;
    if (c == '\r') {
      if (Peek() == '\n')
        ++position_;
      break;
    }
    line.push_back(static_cast<char>(c));
  }
  return line;
}

std::string TextFile::ReadToEnd() {
  RequireInput();
  std::string rest;
  while (Peek() >= 0) {
    rest.append(buffer_, position_);
    position_ = buffer_.size();
  }
  return rest;
}

int32_t TextFile::ReadInteger() {
  RequireInput();
  int c = Peek();
  while (c >= 0 && c < 33) {
    ++position_;
    c = Peek();
  }
  if (c < 0)
    return 0;
  std::string token;
  for (; c >= 33; c = Peek()) {
    token.push_back(static_cast<char>(c));
    ++position_;
  }
  int32_t value = 0;
  if (!TryStrToInt(token, value))
    throw EInOutError("Invalid numeric input '" + token + "' in file \"" + path_ + "\"",
                      ioInvalidNumericInput);
  return value;
}

void TextFile::Close() {
  if (mode_ == Mode::Closed)
    Fail("Cannot close file", ioFileNotOpen);
  if (mode_ == Mode::Input) {
    const int fd = fd_;
    fd_ = -1;
    Abandon();
    if (::close(fd) != 0)
      Fail("Cannot close file", errno);
    return;
  }
  Flush();
  int err = output_.Prepare();
  if (err == 0)
    err = output_.Commit();
  if (err != 0) {
    Abandon();
    Fail("Cannot write file", err);
  }
  Abandon();
}
