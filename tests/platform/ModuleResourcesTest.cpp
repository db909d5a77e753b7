#include "platform/ModuleResources.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(ModuleResources, TheProgramsModuleCarriesBothStringTables) {
  for (const char *name : {"ADSRMGR_STRINGS", "SERX_ERROR_STRINGS_ENGLISH", "adsrmgr_strings"}) {
    const TResourceEntry *entry = FindResource(MainInstance(), name, rtRcData);
    ASSERT_NE(entry, nullptr) << name;
    auto bytes = LoadResource(*entry);
    ASSERT_GE(bytes.size(), 8u) << name;
    EXPECT_EQ(std::memcmp(bytes.data(), "STR0", 4), 0) << name;
  }
  EXPECT_EQ(FindResource(MainInstance(), "ADSRMGR_STRINGS", 6), nullptr);
  EXPECT_EQ(FindResource(MainInstance(), "ADSRMGR_STRING", rtRcData), nullptr);
  EXPECT_EQ(FindResource(MainInstance(), "", rtRcData), nullptr);
  EXPECT_EQ(FindResource(nullptr, "ADSRMGR_STRINGS", rtRcData), nullptr);
  EXPECT_EQ(FindResourceModule(MainInstance()), MainInstance());
}

TEST(ModuleResources, AModuleOfItsOwnIsSearchedByNameAndType) {
  static const unsigned char one[] = {1}, two[] = {2, 2};
  const TResourceEntry entries[] = {
      {"DATA", rtRcData, one, 1}, {"DATA", 6, two, 2}, {"NODATA", rtRcData, nullptr, 4}};
  const TResourceModule module(entries);
  EXPECT_EQ(FindResource(&module, "data", rtRcData), &entries[0]);
  EXPECT_EQ(FindResource(&module, "Data", 6), &entries[1]);
  EXPECT_EQ(FindResource(&module, "DATA", 3), nullptr);
  EXPECT_EQ(LoadResource(entries[1]).size(), 2u);
  EXPECT_EQ(LoadResource(entries[2]).data(), nullptr); // present, but cannot be loaded
  EXPECT_EQ(FindResource(&module, "ADSRMGR_STRINGS", rtRcData), nullptr);
}
