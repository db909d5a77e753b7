#include "serial/AdSrMgr.h"
#include "tests/serial/SerxMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct TRow {
  uint32_t Id;
  std::u16string Text;
};

void PutU32(std::vector<unsigned char> &out, std::size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k)
    out[at + k] = static_cast<unsigned char>(v >> (8 * k));
}

// A table in the resource layout, built independently of the generator.
std::vector<unsigned char> BuildTable(const std::vector<TRow> &rows) {
  std::vector<unsigned char> out(8 + 12 * rows.size());
  std::memcpy(out.data(), "STR0", 4);
  PutU32(out, 4, static_cast<uint32_t>(rows.size()));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    PutU32(out, 8 + 12 * i, rows[i].Id);
    PutU32(out, 12 + 12 * i, static_cast<uint32_t>(out.size()));
    PutU32(out, 16 + 12 * i, static_cast<uint32_t>(rows[i].Text.size()));
    for (char16_t u : rows[i].Text) {
      out.push_back(static_cast<unsigned char>(u & 0xFF));
      out.push_back(static_cast<unsigned char>(u >> 8));
    }
  }
  return out;
}

// A module of its own holding one resource "TEST" (type 10). The bytes are copied into a heap
// block of exactly their size, so that any read past the end trips the address sanitizer.
class TTestModule {
public:
  explicit TTestModule(const std::vector<unsigned char> &bytes, const char *name = "TEST")
      : Bytes(new unsigned char[bytes.size() ? bytes.size() : 1]), Entry{name, rtRcData, Bytes.get(),
                                                                         bytes.size()},
        Module({&Entry, 1}) {
    if (!bytes.empty())
      std::memcpy(Bytes.get(), bytes.data(), bytes.size());
  }
  TModuleHandle Handle() const { return &Module; }

private:
  std::unique_ptr<unsigned char[]> Bytes;
  TResourceEntry Entry;
  TResourceModule Module;
};

std::string ReaderError(const std::vector<unsigned char> &bytes) {
  TTestModule module(bytes);
  try {
    TAdStringResource reader(module.Handle(), "TEST");
    for (uint32_t id = 0; id < 4; ++id) // an accepted table is read, so ASan sees any overrun
      reader.GetString(id);
    return "opened";
  } catch (const EKvsStringResourceError &e) {
    return e.Message;
  }
}

} // namespace

TEST(TAdStringResource, FindsEveryIdAndGivesEmptyTextAroundThem) {
  const std::vector<TRow> rows = {
      {10, u"ten"}, {20, u""}, {30, u"Связь со станцией"}, {40, u"\U0001F4E1 ok"}};
  TTestModule module(BuildTable(rows));
  TAdStringResource reader(module.Handle(), "test"); // names match without regard to case
  EXPECT_EQ(reader.GetString(10), "ten");
  EXPECT_EQ(reader.GetString(20), "");
  EXPECT_EQ(reader.GetString(30), "Связь со станцией");
  EXPECT_EQ(reader.GetString(40), "\xF0\x9F\x93\xA1 ok");
  for (uint32_t absent : {0u, 9u, 11u, 25u, 39u, 41u, UINT32_MAX})
    EXPECT_EQ(reader.GetString(absent), "") << absent;
}

TEST(TAdStringResource, BinarySearchHitsEveryEntryOfLargeAndTinyTables) {
  for (std::size_t count : {0u, 1u, 2u, 3u, 829u}) {
    std::vector<TRow> rows;
    for (std::size_t i = 0; i < count; ++i) {
      auto text = std::to_string(i);
      rows.push_back({static_cast<uint32_t>(2 * i + 1), std::u16string(text.begin(), text.end())});
    }
    TTestModule module(BuildTable(rows));
    TAdStringResource reader(module.Handle(), "TEST");
    for (std::size_t i = 0; i < count; ++i) {
      ASSERT_EQ(reader.GetString(static_cast<uint32_t>(2 * i + 1)), std::to_string(i)) << count;
      ASSERT_EQ(reader.GetString(static_cast<uint32_t>(2 * i)), "") << count;
    }
    EXPECT_EQ(reader.GetString(static_cast<uint32_t>(2 * count + 1)), "");
  }
}

TEST(TAdStringResource, UnpairedSurrogatesBecomeReplacementCharacters) {
  TTestModule module(BuildTable({{1, std::u16string{u'a', char16_t(0xD800), u'b'}},
                                 {2, std::u16string{char16_t(0xDC00)}},
                                 {3, std::u16string{u'x', char16_t(0xD83D)}}}));
  TAdStringResource reader(module.Handle(), "TEST");
  EXPECT_EQ(reader.GetString(1), "a\xEF\xBF\xBD"
                                 "b");
  EXPECT_EQ(reader.GetString(2), "\xEF\xBF\xBD");
  EXPECT_EQ(reader.GetString(3), "x\xEF\xBF\xBD");
}

TEST(TAdStringResource, RefusesDamagedOrLyingTablesWithoutReadingPastThem) {
  const auto good = BuildTable({{1, u"one"}, {2, u"two"}});
  struct TDamage {
    const char *What;
    std::vector<unsigned char> Bytes;
  };
  auto with = [&](std::size_t at, uint32_t value) {
    auto bytes = good;
    PutU32(bytes, at, value);
    return bytes;
  };
  const TDamage damaged[] = {
      {"empty", {}},
      {"shorter than the magic", {'S', 'T', 'R'}},
      {"magic only", {'S', 'T', 'R', '0'}},
      {"wrong magic", with(0, 0x31525453)}, // "STR1"
      {"count beyond the entries", with(4, 3)},
      {"huge count", with(4, 0xFFFFFFFF)},
      {"entries cut off", std::vector<unsigned char>(good.begin(), good.begin() + 8 + 12 + 6)},
      {"text offset past the end", with(12, static_cast<uint32_t>(good.size()))},
      {"text length past the end", with(16 + 12, 4)},
      {"offset plus length wraps 32 bits",
       [&] {
         auto bytes = with(12, 0xFFFFFFF0u);
         PutU32(bytes, 16, 0x10);
         return bytes;
       }()},
      {"huge length", with(16, 0x80000000u)},
      {"ids out of order", with(8 + 12, 0)},
      {"duplicate ids", with(8 + 12, 1)},
      {"texts cut off", std::vector<unsigned char>(good.begin(), good.end() - 1)},
  };
  for (const TDamage &d : damaged)
    EXPECT_EQ(ReaderError(d.Bytes), "Invalid KVString resource") << d.What;
  EXPECT_EQ(ReaderError(good), "opened");
}

TEST(TAdStringResource, ReportsMissingAndUnloadableResourcesByName) {
  TTestModule module(BuildTable({{1, u"one"}}));
  struct TCase {
    std::string Name;
    std::string Message;
  };
  const std::string longName(256, 'A');
  const TCase cases[] = {
      {"NOSUCH_STRINGS", "String resource not found: NOSUCH_STRINGS"},
      {longName, "String resource not found: " + longName},
  };
  for (const TCase &c : cases) {
    try {
      TAdStringResource reader(module.Handle(), c.Name);
      ADD_FAILURE() << "opened " << c.Name;
    } catch (const EKvsStringResourceError &e) {
      EXPECT_EQ(e.Message, c.Message);
    }
  }

  const TResourceEntry unloadable{"BROKEN", rtRcData, nullptr, 16};
  const TResourceModule broken({&unloadable, 1});
  try {
    TAdStringResource reader(&broken, "BROKEN");
    ADD_FAILURE() << "opened an unloadable resource";
  } catch (const EKvsStringResourceError &e) {
    EXPECT_EQ(e.Message, "Unable to open string resource: BROKEN");
  }

  // The same name with another type is not the resource.
  const auto bytes = BuildTable({{1, u"one"}});
  const TResourceEntry otherType{"TYPED", 6, bytes.data(), bytes.size()};
  const TResourceModule typed({&otherType, 1});
  EXPECT_THROW(TAdStringResource(&typed, "TYPED"), EKvsStringResourceError);
}

TEST(TAdStringResource, FallsBackToTheProgramsOwnModule) {
  TTestModule module(BuildTable({{1, u"one"}}));
  TAdStringResource reader(module.Handle(), "ADSRMGR_STRINGS");
  EXPECT_EQ(reader.GetString(5), "Invalid KVString resource");
  TAdStringResource withoutModule(nullptr, "SERX_ERROR_STRINGS_ENGLISH");
  EXPECT_EQ(withoutModule.GetString(2001), "ie_BadId - Specified comport doesn't exist");
}

TEST(TAdStringResource, AnInsistingReaderRaisesForAMissingId) {
  TTestModule module(BuildTable({{1, u"one"}, {3, u"three"}}));
  TAdStringResource reader(module.Handle(), "TEST", true);
  EXPECT_EQ(reader.GetString(3), "three");
  try {
    reader.GetString(2);
    ADD_FAILURE() << "no error for a missing id";
  } catch (const EKvsStringResourceError &e) {
    EXPECT_EQ(e.Message, "String not found: 2");
  }
}

TEST(StringResources, TheReadersOwnMessagesReadBack) {
  const std::pair<uint32_t, const char *> rows[] = {
      {1, "String not found: %d"},          {2, "Cannot lock resource"},
      {3, "String resource not found: %s"}, {4, "Unable to open string resource: %s"},
      {5, "Invalid KVString resource"},
  };
  TSerialLayerScope layer;
  for (const auto &[id, text] : rows)
    EXPECT_EQ(AdSrMgrString(id), text) << id;
  EXPECT_EQ(AdSrMgrString(0), "");
  EXPECT_EQ(AdSrMgrString(6), "");
}

TEST(StringResources, EveryRowOfTheMessageTableReadsBackExactly) {
  TSerialLayerScope layer;
  for (const auto &[id, text] : SerxMessages)
    EXPECT_EQ(SerxErrorString(id), text) << id;
  for (uint32_t absent : {1u, 7u, 163u, 1000u, 1010u, 3011u, 4001u})
    EXPECT_EQ(SerxErrorString(absent), "") << absent;
}

TEST(StringResources, InstancesLiveFromInitialisationToFinalisation) {
  FinalizeStringResources();
  EXPECT_FALSE(StringResourcesInitialized());
  {
    TSerialLayerScope layer;
    EXPECT_TRUE(StringResourcesInitialized());
    InitializeStringResources(); // a second start keeps the same tables
    EXPECT_TRUE(StringResourcesInitialized());
  }
  EXPECT_FALSE(StringResourcesInitialized());
  // A lookup before the layer starts still finds its text, and the end frees what it made.
  EXPECT_EQ(SerxErrorString(3007), "Buffer is empty");
  EXPECT_TRUE(StringResourcesInitialized());
  FinalizeStringResources();
  EXPECT_FALSE(StringResourcesInitialized());
}
