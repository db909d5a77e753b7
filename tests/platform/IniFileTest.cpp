#include "platform/IniFile.h"
#include "tests/support/TempConfigDir.h"

#include <gtest/gtest.h>

TEST(IniFile, ReadIntegerTakesNumbersAndFallsBackOnAnythingElse) {
  const std::pair<std::string, int32_t> cases[] = {
      {"1", 1},           {"2", 2},    {"7", 7},         {"258", 258}, {" 12 ", 12},
      {"-5", -5},         {"0x02", 2}, {"0X1f", 31},     {"$2", 2},    {"x10", 16},
      {"abc", 99},        {"", 99},    {"3 ; COM3", 99}, {"0x", 99},   {"2147483647", INT32_MAX},
      {"2147483648", 99}, {"'7'", 7},
  };
  TempConfigDir dir;
  for (const auto &[text, expected] : cases) {
    const TIniFile ini(dir.WriteFile("Q417Options.ini", "[All]\r\nPort=" + text + "\r\n").string());
    EXPECT_EQ(ini.ReadInteger("All", "Port", 99), expected) << "Port=" << text;
  }
  const TIniFile ini(dir.WriteFile("Q417Options.ini", "[All]\r\n").string());
  EXPECT_EQ(ini.ReadInteger("All", "Port", 2), 2);
}

TEST(IniFile, WhatIsWrittenReadsBack) {
  TempConfigDir dir;
  TIniFile ini((dir.KstuneDir() / "Q417Options.ini").string());
  EXPECT_EQ(ini.ReadString("All", "Poz", "0"), "0");
  EXPECT_FALSE(std::filesystem::exists(dir.KstuneDir())) << "reading created the stand-in directory";

  ini.WriteString("All", "Poz", "KS45");
  ini.WriteString("all", "POZ", "KS47");
  EXPECT_EQ(ini.ReadString("All", "Poz", "0"), "KS47");
  EXPECT_EQ(dir.ReadFile("Q417Options.ini"), "[All]\r\nPoz=KS47\r\n");
}
