#pragma once
// Texts that follow the user's locale are tested in a child process of the test program: Qt
// reads the locale from the environment once per process, as the tool does at start.
//
//   TEST(Volts, FollowTheLocale) {                          // the normal run
//     EXPECT_TRUE(PassesUnderLocale("Volts.DISABLED_InLocale", "ru_RU.UTF-8", ","));
//   }
//   TEST(Volts, DISABLED_InLocale) {                        // runs only in the child
//     const std::string separator = ExpectedSeparator();
//     ...
//   }
#include "tests/support/Spawn.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

inline constexpr const char *SeparatorVariable = "KSTUNE_TEST_DECIMAL_SEPARATOR";

// Runs the one test named (disabled, so that the normal run leaves it out) in a child with
// LC_ALL=locale, telling it the separator to expect; true when the child ran exactly that test
// and it passed. Its output goes to ours, so a failure shows there.
inline bool PassesUnderLocale(const std::string &test, const std::string &locale,
                              const std::string &separator) {
  char report[] = "/tmp/kstune-locale-XXXXXX";
  const int reportFd = mkstemp(report);
  if (reportFd < 0)
    return false;
  close(reportFd);
  const int status = RunTestInChild(test, {"LC_ALL=" + locale, std::string(SeparatorVariable) + "=" + separator},
                                    {}, {"--gtest_also_run_disabled_tests", std::string("--gtest_output=xml:") + report});
  std::ifstream in(report);
  const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  unlink(report);
  // A filter that matched nothing passes too; the report tells the one test ran and passed.
  const bool ranOne = xml.find("<testsuites tests=\"1\" failures=\"0\"") != std::string::npos &&
                      xml.find("<skipped") == std::string::npos;
  return status == 0 && ranOne;
}

// In the child: the separator the parent expects; the test is skipped when run by hand without one.
#define EXPECTED_SEPARATOR_OR_SKIP(name)                                                                     \
  const char *name##Raw = std::getenv(SeparatorVariable);                                                    \
  if (!name##Raw)                                                                                            \
    GTEST_SKIP() << "run through PassesUnderLocale";                                                         \
  const std::string name = name##Raw
