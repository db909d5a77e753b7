#include "station/ComLink.h"

#include "station/StationError.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace fs = std::filesystem;

fs::path StandInDir() {
  const char *xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg)
    return fs::path(xdg) / "kstune";
  const char *home = std::getenv("HOME");
  if (home && *home)
    return fs::path(home) / ".config" / "kstune";
  throw TStationError("kstune-station: neither XDG_CONFIG_HOME nor HOME is set");
}

TComLink::TComLink(int comNumber, const fs::path &target)
    : path_(StandInDir() / ("com" + std::to_string(comNumber))), target_(target) {
  std::error_code ec;
  fs::create_directories(path_.parent_path(), ec);
  if (ec)
    throw TStationError("kstune-station: cannot create " + path_.parent_path().string() + ": " +
                        ec.message());
  // symlink() fails on any existing name, a dangling link included: nothing is replaced, except a
  // link into /dev/pts whose pseudo-terminal is gone (a station that was killed left it).
  if (::symlink(target_.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    if (error == EEXIST && ReplaceStale())
      return;
    errno = error;
    if (errno == EEXIST)
      throw TStationError(
          "kstune-station: " + path_.string() +
          " already exists and is not this station's link; remove it or choose another --com");
    throw TStationError("kstune-station: cannot create " + path_.string() + ": " + std::strerror(errno));
  }
  made_ = true;
}

bool TComLink::ReplaceStale() {
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(path_, ec)))
    return false;
  const fs::path old = fs::read_symlink(path_, ec);
  if (ec || old.string().rfind("/dev/pts/", 0) != 0 || fs::exists(fs::symlink_status(old, ec)))
    return false;
  // Renamed over the old link, so that the name is never missing in between.
  const fs::path temp = path_.string() + ".station-" + std::to_string(::getpid());
  if (::symlink(target_.c_str(), temp.c_str()) != 0)
    return false;
  if (::rename(temp.c_str(), path_.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  replaced_ = old;
  made_ = true;
  return true;
}

TComLink::~TComLink() { Remove(); }

bool TComLink::StillOurs() const {
  std::error_code ec;
  if (!made_ || !fs::is_symlink(fs::symlink_status(path_, ec)))
    return false;
  return fs::read_symlink(path_, ec) == target_ && !ec;
}

void TComLink::Retarget(const fs::path &target) {
  if (!StillOurs())
    return;
  // A new link renamed over the old one: the name never goes missing in between, so a tool opening
  // it meanwhile cannot fall back to a real serial port.
  const fs::path temp = path_.string() + ".station-" + std::to_string(::getpid());
  if (::symlink(target.c_str(), temp.c_str()) != 0)
    return;
  if (::rename(temp.c_str(), path_.c_str()) != 0) {
    ::unlink(temp.c_str());
    return;
  }
  target_ = target;
}

void TComLink::Remove() {
  if (StillOurs())
    ::unlink(path_.c_str());
  made_ = false;
}
