#include "platform/OsErrorText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

TEST(OsErrorText, GivesTheSystemTextOfTheMatchingErrno) {
  const std::pair<uint32_t, int> cases[] = {
      {2, ENOENT}, {3, ENOENT}, {5, EACCES},  {6, EBADF},       {8, ENOMEM},   {12, EACCES},
      {31, EIO},   {32, EBUSY}, {87, EINVAL}, {995, ECANCELED}, {1167, ENXIO}, {1460, ETIMEDOUT},
  };
  for (const auto &[osError, err] : cases) {
    EXPECT_EQ(ErrnoForOsError(osError), err) << osError;
    EXPECT_EQ(OsErrorText(osError), std::strerror(err)) << osError;
    EXPECT_FALSE(OsErrorText(osError).empty()) << osError;
  }
}

TEST(OsErrorText, NumbersWithoutACounterpartHaveNoText) {
  for (uint32_t osError : {0u, 7u, 9u, 163u, 1450u, 4001u, 99999u, UINT32_MAX}) {
    EXPECT_EQ(ErrnoForOsError(osError), 0) << osError;
    EXPECT_EQ(OsErrorText(osError), "") << osError;
  }
}
