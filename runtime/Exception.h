#pragma once
// The language runtime's exception family: every failure the tool reports to the technician
// travels as one of these, carrying the text the error box shows.
#include <stdexcept>
#include <string>

class Exception : public std::exception {
public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char *what() const noexcept override { return Message.c_str(); }

  std::string Message;
};

// A text that is not a number, or a number out of range.
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

// A failed file operation; ErrorCode is the operating system's error number.
class EInOutError : public Exception {
public:
  EInOutError(std::string message, int errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode;
};

class EOutOfMemory : public Exception {
public:
  EOutOfMemory() : Exception("Out of memory") {}
};
