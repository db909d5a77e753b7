#include "runtime/TextFile.h"

#include "runtime/Exception.h"
#include "runtime/StrToInt.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
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

// The file a rewrite must replace: through a symbolic link to what it points at, so the link
// survives the rename.
std::string ResolveTarget(const std::string &path) {
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char *real = realpath(path.c_str(), nullptr)) {
      std::string resolved = real;
      std::free(real);
      return resolved;
    }
  }
  return path;
}

int WriteAll(int fd, const char *data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return errno;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
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
  if (mode_ == Mode::Output && !tempPath_.empty())
    ::unlink(tempPath_.c_str());
  fd_ = -1;
  mode_ = Mode::Closed;
  tempPath_.clear();
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
  target_ = ResolveTarget(path_);
  const std::filesystem::path target(target_);

  struct stat old;
  const bool hadOld = ::stat(target_.c_str(), &old) == 0;
  if (hadOld && S_ISDIR(old.st_mode))
    Fail("Cannot write file", EISDIR);
  // A file the technician made read-only is refused, as the Windows services refuse it, even
  // though the rename could replace it; root, to whom every file is writable, included.
  if (hadOld && (old.st_mode & 0222) == 0)
    Fail("Cannot write file", EACCES);
  if (hadOld && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
    Fail("Cannot write file", errno);
  if (keepContents && !hadOld)
    Fail("Cannot open file", errno);

  std::error_code ec;
  if (target.has_parent_path())
    std::filesystem::create_directories(target.parent_path(), ec);
  if (ec)
    Fail("Cannot write file", ec.value());

  // A fresh name beside the target, so the rename stays within one file system.
  std::random_device seed;
  std::mt19937 random(seed());
  const std::string stem = (target.parent_path() / ("." + target.filename().string() + ".")).string();
  for (int attempt = 0; fd_ < 0; ++attempt) {
    tempPath_ = stem + std::to_string(random() % 1000000000u);
    fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && (errno != EEXIST || attempt > 100)) {
      const int err = errno;
      tempPath_.clear();
      Fail("Cannot write file", err);
    }
  }
  mode_ = Mode::Output;
  if (hadOld)
    ::fchmod(fd_, old.st_mode & 07777); // keep the old file's permissions; best effort
  if (keepContents) {
    const int in = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
      const int err = errno;
      Abandon();
      Fail("Cannot open file", err);
    }
    char chunk[8192];
    int err = 0;
    for (;;) {
      const ssize_t n = ::read(in, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        err = n < 0 ? errno : 0;
        break;
      }
      if ((err = WriteAll(fd_, chunk, static_cast<size_t>(n))) != 0)
        break;
    }
    ::close(in);
    if (err != 0) {
      Abandon();
      Fail("Cannot write file", err);
    }
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
  const int err = WriteAll(fd_, buffer_.data(), buffer_.size());
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
  int err = 0;
  if (::fsync(fd_) != 0)
    err = errno;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && err == 0)
    err = errno;
  if (err == 0 && ::rename(tempPath_.c_str(), target_.c_str()) != 0)
    err = errno;
  if (err != 0) {
    Abandon();
    Fail("Cannot write file", err);
  }
  tempPath_.clear();
  Abandon();
}
