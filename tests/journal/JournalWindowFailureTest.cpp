// kstune's own journal (the file under XDG_DATA_HOME) while its folder cannot be made: the
// technician is told once in a message box, tuning goes on, and no record is lost once the folder
// can be made; if it never can, the end of kstune says how many records were not kept.
#include "journal/Journal.h"
#include "main/BenchJournal.h"
#include "tests/journal/JournalFiles.h"
#include "tests/support/WindowFixture.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class JournalWindowFailureTest : public LinkTest, public ::testing::WithParamInterface<bool> {
protected:
  void SetUp() override {
    LinkTest::SetUp();
    data = dir.Root() / "data";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    fs::create_directories(data);
    std::ofstream(data / "kstune") << "not a folder";
    StartBenchJournal();
  }
  void TearDown() override {
    Journal().Stop();
    unsetenv("XDG_DATA_HOME");
    LinkTest::TearDown();
  }

  // Lets posted events (the journal's message) run, for a while.
  void Pump(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(10ms);
    }
  }

  fs::path data;
};

TEST_P(JournalWindowFailureTest, OneMessageTuningGoesOnAndNothingIsLostOnceTheFolderCanBeMade) {
  const bool mended = GetParam();
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  form->Edit19Enter();
  for (int i = 0; i < 3; ++i)
    Click("BitBtn7Click");
  Pump(1500ms);
  // The handshake and three set-value exchanges of four bytes went out as ever.
  EXPECT_EQ(station.Received().size(), 1u + 3 * 4);
  EXPECT_EQ(form->MainState.ParamValues[18], 3);
  const QString file = QString::fromStdString((data / "kstune" / "journal.sqlite").string());
  ASSERT_EQ(boxes.Messages.size(), 1u);
  EXPECT_TRUE(QString::fromStdString(boxes.Messages[0]).contains(file)) << boxes.Messages[0];
  EXPECT_TRUE(QString::fromStdString(boxes.Messages[0]).contains(QStringLiteral("на месте папки журнала лежит файл")))
      << boxes.Messages[0];
  if (mended)
    fs::remove(data / "kstune");
  Click("BitBtn7Click");
  Click("BitBtn10Click");
  Pump(300ms);
  EndBenchJournal();
  if (mended) {
    EXPECT_EQ(boxes.Messages.size(), 1u);
    EXPECT_EQ(StoredSeqs(file), OneTo(6));
  } else {
    ASSERT_EQ(boxes.Messages.size(), 2u);
    EXPECT_EQ(boxes.Messages[1], "Не сохранены записи журнала станций: 6.\nФайл " + file.toStdString() +
                                     ": на месте папки журнала лежит файл.");
  }
}

INSTANTIATE_TEST_SUITE_P(Folder, JournalWindowFailureTest, ::testing::Values(true, false),
                         [](const auto &info) { return info.param ? "MadeLater" : "NeverMade"; });

} // namespace
