#include "runtime/Exception.h"
#include "runtime/StrToInt.h"

#include <gtest/gtest.h>

TEST(StrToInt, AcceptsDecimalAndEveryHexPrefix) {
  const std::pair<const char *, int32_t> good[] = {
      {"0", 0},          {"255", 255},       {"  42", 42},       {"+7", 7},           {"-1", -1},
      {"$FF", 255},      {"xff", 255},       {"Xff", 255},       {"0x1F", 31},        {"0X1f", 31},
      {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}, {"$7FFFFFFF", INT32_MAX}, {"007", 7},
  };
  for (const auto &[text, value] : good)
    EXPECT_EQ(StrToInt(text), value) << text;
}

TEST(StrToInt, RefusesEverythingElseWithTheRuntimeMessage) {
  const char *bad[] = {"",      " ",     "12a",  "1 ",     "+",        "-",  "$",          "0x",         "x",
                       "--1",   "+-1",   "-$1",  "1.5",    "\t1",      "١٢", "2147483648", "-2147483649",
                       "$80000000", "0x", "abc", "Port=3 ; COM3"};
  for (const char *text : bad) {
    try {
      StrToInt(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError &e) {
      EXPECT_EQ(e.Message, std::string("'") + text + "' is not a valid integer value");
    }
  }
}
