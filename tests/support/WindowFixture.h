#pragma once
// The real window, offscreen, against the simulated station on COM2 of a private stand-in
// directory. Click actions run through the application's event dispatch, so an exception they
// raise reaches the error box as it would for the technician.
#include "main/UnitMain.h"
#include "station/SimStation.h"
#include "tests/support/QtApp.h"
#include "tests/support/TempConfigDir.h"

#include <QApplication>
#include <QMetaObject>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

class LinkTest : public ::testing::Test, protected WithTestApp {
protected:
  void SetUp() override {
    station.Start({.ComNumber = 2});
    form = std::make_unique<TForm1>();
  }
  // The station keeps its own table of the protocol: a wrong byte of the tool, a wrong device
  // address or a wrong line setting shows here, in every link test.
  void TearDown() override {
    EXPECT_EQ(station.ProtocolErrors(), std::vector<std::string>{})
        << "protocol violations seen by the station";
  }

  // Runs a slot of the window as a queued call, as a click is delivered.
  void Click(const char *slot) {
    QMetaObject::invokeMethod(form.get(), slot, Qt::QueuedConnection);
    QCoreApplication::processEvents();
  }

  bool Connected() const { return !form->BitBtn9->isEnabled() && form->BitBtn10->isEnabled(); }

  // "Подключиться" as the technician presses it; what the station received starts empty after it.
  void Connect() {
    Click("BitBtn9Click");
    ASSERT_TRUE(Connected());
    station.ClearReceived();
  }
  // The same, on the window shown and active, so that focus and keys travel as they do for the
  // technician.
  void ShowAndConnect() {
    form->show();
    QApplication::setActiveWindow(form.get());
    Connect();
  }

  TempConfigDir dir;
  BoxRecorder boxes;
  TSimStation station;
  std::unique_ptr<TForm1> form;
};
