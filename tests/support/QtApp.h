#pragma once
// One application object for the window tests of a test program (offscreen platform), with the
// runtime's boxes recorded instead of shown.
#include <string>
#include <vector>

class TApplication;

TApplication &TestApp();

// A fixture base that makes sure the application object exists before any member widget.
struct WithTestApp {
  WithTestApp() { TestApp(); }
};

// Records every message box, error box and notice shown while it lives.
class BoxRecorder {
public:
  BoxRecorder();
  ~BoxRecorder();
  std::vector<std::string> Messages;
  std::vector<std::string> Errors;
  std::vector<std::string> Notices;
};
