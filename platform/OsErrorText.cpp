#include "platform/OsErrorText.h"

#include <cerrno>
#include <cstring>

namespace {

struct TOsErrno {
  uint32_t OsError;
  int Errno;
};

// Win32 numbers that a device, file or memory operation can give, and their Linux errno.
constexpr TOsErrno osErrnos[] = {
    {1, ENOSYS},         // invalid function
    {2, ENOENT},         // file not found
    {3, ENOENT},         // path not found
    {4, EMFILE},         // too many open files
    {5, EACCES},         // access denied
    {6, EBADF},          // invalid handle
    {8, ENOMEM},         // not enough memory
    {12, EACCES},        // invalid access: the device may not be opened by this user
    {14, ENOMEM},        // out of memory
    {15, ENODEV},        // invalid drive
    {19, EROFS},         // write protected
    {20, ENODEV},        // bad unit
    {21, EAGAIN},        // not ready
    {23, EIO},           // data error (CRC)
    {25, ESPIPE},        // seek error
    {29, EIO},           // write fault
    {30, EIO},           // read fault
    {31, EIO},           // device attached to the system is not functioning
    {32, EBUSY},         // sharing violation
    {33, ENOLCK},        // lock violation
    {38, ENODATA},       // reached the end of the file
    {39, ENOSPC},        // disk full
    {50, EOPNOTSUPP},    // not supported
    {55, ENODEV},        // device no longer available
    {80, EEXIST},        // file exists
    {87, EINVAL},        // invalid parameter
    {109, EPIPE},        // broken pipe
    {110, EIO},          // open failed
    {111, ENAMETOOLONG}, // buffer overflow (file name too long)
    {112, ENOSPC},       // disk full
    {122, ERANGE},       // insufficient buffer
    {123, EINVAL},       // invalid name
    {161, ENOENT},       // bad path name
    {183, EEXIST},       // already exists
    {206, ENAMETOOLONG}, // file name too long
    {995, ECANCELED},    // operation aborted
    {997, EINPROGRESS},  // I/O pending
    {1117, EIO},         // I/O device error
    {1167, ENXIO},       // device not connected
    {1460, ETIMEDOUT},   // timeout
};

} // namespace

int ErrnoForOsError(uint32_t osError) {
  for (const TOsErrno &pair : osErrnos)
    if (pair.OsError == osError)
      return pair.Errno;
  return 0;
}

std::string OsErrorText(uint32_t osError) {
  int err = ErrnoForOsError(osError);
  if (err == 0)
    return {};
  char buffer[256];
  // The GNU strerror_r may return a static text instead of filling the buffer.
  const char *text = strerror_r(err, buffer, sizeof buffer);
  return text ? std::string(text) : std::string();
}
