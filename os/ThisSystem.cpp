#include "os/ThisSystem.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

std::string SystemNameAndRelease() {
  utsname os{};
  uname(&os);
  return std::string(os.sysname) + " " + os.release;
}

std::string HostName() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

std::string LoginName() {
  const passwd *user = getpwuid(geteuid());
  return user ? user->pw_name : std::string();
}
