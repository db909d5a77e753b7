#pragma once
// What every test of the copy to a factory server starts from: one private server for the suite,
// and for each test a scratch folder holding the bench's journal file and its ~/.pgpass.
#include "tests/journal/JournalFiles.h"
#include "tests/journal/PostgresServer.h"
#include "tests/support/TestApplication.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdlib.h>

class TFactoryFixture : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    TestApplication<QCoreApplication>();
    server = new TPostgresServer;
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }

  void SetUp() override {
    char pattern[] = "/tmp/kstune-journal-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    file = QString::fromStdString((root / "kstune" / "journal.sqlite").string());
    setenv("PGPASSFILE", (root / "pgpass").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }

  static inline TPostgresServer *server = nullptr;
  std::filesystem::path root;
  QString file;
  TToldRecorder recorder;
};
