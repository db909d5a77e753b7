#include "platform/PrivateProfile.h"
#include "tests/support/TempConfigDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

namespace {

const char *const kDefault = "<default>";

struct Lookup {
  const char *section;
  const char *key;
  std::string expected;
};

void ExpectLookups(const std::string &fileName, const std::vector<Lookup> &lookups) {
  for (const auto &l : lookups)
    EXPECT_EQ(GetPrivateProfileString(l.section, l.key, kDefault, fileName), l.expected)
        << "[" << l.section << "] " << l.key;
}

} // namespace

TEST(PrivateProfileRead, AHandEditedFileIsReadLikeTheWindowsService) {
  std::string cyrillic;
  for (int i = 0; i < 3000; ++i)
    cyrillic += "\xD0\xB4"; // two bytes a character: the cut must not split one
  const std::string bytes = "\xEF\xBB\xBF"
                            "[ All ]  text after the bracket\r\n"
                            "  Poz =  KS43  \r\n"
                            "Port=3 ; COM3\r\n"
                            "; Comment=1\r\n"
                            "\t ;Indented=2\r\n"
                            "NoEquals\r\n"
                            "Empty=\r\n"
                            "Blank= \t \r\n"
                            "Inner = a  b \r\n"
                            "DQ=\" padded \"\r\n"
                            "SQ='x'\r\n"
                            "Mixed=\"x'\r\n"
                            "Lone=\"\r\n"
                            "Twice=\"\"q\"\"\r\n"
                            "poz=second\r\n"
                            "Long=" +
                            std::string(3000, 'a') + "\r\nCyr=" + cyrillic +
                            "\r\n"
                            "\r\n"
                            "[all]\r\n"
                            "Extra=only in the duplicate section\r\n"
                            "[KS41]\n"
                            "CORF=130\n"
                            "af1\t=\t7\n"
                            "[Ks43]\r"
                            "Dev=12\r"
                            "Last=no line end  ";
  TempConfigDir dir;
  std::string cyrillicCut;
  for (int i = 0; i < 2047; ++i)
    cyrillicCut += "\xD0\xB4";
  ExpectLookups(dir.WriteFile("Q417Options.ini", bytes).string(), {
                                                                      {"All", "Poz", "KS43"},
                                                                      {"ALL", "POZ", "KS43"},
                                                                      {"All", "Port", "3 ; COM3"},
                                                                      {"All", "Comment", kDefault},
                                                                      {"All", "Indented", kDefault},
                                                                      {"All", "NoEquals", kDefault},
                                                                      {"All", "Empty", ""},
                                                                      {"All", "Blank", ""},
                                                                      {"All", "Inner", "a  b"},
                                                                      {"All", "DQ", " padded "},
                                                                      {"All", "SQ", "x"},
                                                                      {"All", "Mixed", "\"x'"},
                                                                      {"All", "Lone", "\""},
                                                                      {"All", "Twice", "\"q\""},
                                                                      {"All", "Long", std::string(2047, 'a')},
                                                                      {"All", "Cyr", cyrillicCut},
                                                                      {"All", "Extra", kDefault},
                                                                      {"KS41", "CORF", "130"},
                                                                      {"ks41", "AF1", "7"},
                                                                      {"KS43", "DEV", "12"},
                                                                      {"KS43", "Last", "no line end"},
                                                                      {"KS43", "Poz", kDefault},
                                                                      {"KS45", "CORF", kDefault},
                                                                  });
}

TEST(PrivateProfileRead, OddFilesAreReadAsTheirLinesSayOrGiveTheDefault) {
  const struct {
    std::string bytes;
    std::vector<Lookup> lookups;
  } cases[] = {
      {"Poz=orphan\r\n[All]\r\nPort=1\r\n", {{"All", "Poz", kDefault}, {"All", "Port", "1"}}},
      {"[All\r\nPoz=1\r\n", {{"All", "Poz", "1"}}},
      {"[All]Poz=1\r\n", {{"All", "Poz", kDefault}}},
      {"[All]\r\n=5\r\nPoz==2\r\n", {{"All", "", kDefault}, {"All", "Poz", "=2"}}},
      {"\xEF\xBB\xBF", {{"All", "Poz", kDefault}}},
      {"", {{"All", "Poz", kDefault}}},
      {std::string("[All]\r\nPoz=a\0b\r\n", 17), {{"All", "Poz", std::string("a\0b", 3)}}},
  };
  TempConfigDir dir;
  for (const auto &c : cases)
    ExpectLookups(dir.WriteFile("odd.ini", c.bytes).string(), c.lookups);
}

TEST(PrivateProfileRead, AMissingOrUnreadableFileGivesTheDefaultAndCreatesNothing) {
  TempConfigDir dir;
  const std::string missing = (dir.KstuneDir() / "Q417Options.ini").string();
  EXPECT_EQ(GetPrivateProfileString("All", "Poz", "0", missing), "0");
  EXPECT_FALSE(std::filesystem::exists(dir.KstuneDir()));

  std::filesystem::create_directories(dir.KstuneDir() / "Q417Options.ini");
  EXPECT_EQ(GetPrivateProfileString("All", "Poz", "0", missing), "0");
}

TEST(PrivateProfileRead, AChangedFileIsReadAnew) {
  TempConfigDir dir;
  const std::filesystem::path file = dir.WriteFile("Q417Options.ini", "[All]\r\nPoz=KS41\r\n");
  const auto inPlace = [&](const std::string &bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  };
  const auto replace = [&](const std::string &bytes) {
    std::filesystem::rename(dir.WriteFile("new.ini", bytes), file);
  };
  const auto remove = [&](const std::string &) { std::filesystem::remove(file); };
  const struct {
    const char *change;
    bool settledBefore; // unchanged long enough for its times to tell any later change
    std::function<void(const std::string &)> write;
    std::string bytes;
    std::string expected;
  } rows[] = {
      {"rewritten in place, same size", false, inPlace, "[All]\r\nPoz=KS43\r\n", "KS43"},
      {"replaced, same size", false, replace, "[All]\r\nPoz=KS45\r\n", "KS45"},
      {"grown", false, inPlace, "[All]\r\nPoz=KS47\r\nPort=1\r\n", "KS47"},
      {"settled, then rewritten in place, same size", true, inPlace, "[All]\r\nPoz=KS41\r\nPort=1\r\n",
       "KS41"},
      {"replaced again, same size", false, replace, "[All]\r\nPoz=KS43\r\nPort=1\r\n", "KS43"},
      {"removed", false, remove, "", kDefault},
  };
  std::string previous = "KS41";
  for (const auto &row : rows) {
    if (row.settledBefore) {
      std::this_thread::sleep_for(std::chrono::milliseconds(3100));
      EXPECT_EQ(GetPrivateProfileString("All", "Poz", kDefault, file.string()), previous) << row.change;
    }
    row.write(row.bytes);
    EXPECT_EQ(GetPrivateProfileString("All", "Poz", kDefault, file.string()), row.expected) << row.change;
    previous = row.expected;
  }
}
